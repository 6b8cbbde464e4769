// The editing keys, the clipboard, heading sorts and the "Find text" dialog in the real
// window on Qt's offscreen platform: keys typed into the runner sheet's view, the system
// clipboard (in-process on offscreen), mouse presses on the header, the dialog's buttons.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <unistd.h>

#include "find_dialog.h"
#include "grid_model.h"
#include "grid_view.h"
#include "gui_test_support.h"
#include "link/discovery_sysfs.h"
#include "main_window.h"
#include "sheet/runner_sheet.h"
#include "timing/read_times_table.h"

namespace ln40::gui {
namespace {

namespace fs = std::filesystem;
using testing::App;
using testing::WaitFor;

class GridEditingTest : public ::testing::Test {
 protected:
  GridEditingTest() : folder_(fs::temp_directory_path() / ("ln40keys" + std::to_string(::getpid()))) {
    App();
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    WindowSetup setup;
    setup.data_folder = folder_.string() + "/";
    setup.settings_path = (folder_ / "vexa" / "ln40util.conf").string();
    setup.locale = Locale::WorkedExample();
    setup.clock = std::make_unique<FixedClock>(46364.5);
    setup.devices = std::make_unique<SysfsSerialDevices>((folder_ / "no-sysfs").string(), "");
    window_ = std::make_unique<MainWindow>(std::move(setup));
    window_->show();
    auto* label = window_->findChild<QLabel*>(QStringLiteral("Label4"));
    EXPECT_TRUE(WaitFor([label] { return label->text().startsWith(QStringLiteral("Logfile path:")); }));
    window_->findChild<QPushButton*>(QStringLiteral("SetupExcelTiming"))->click();
    view_ = window_->SheetView();
    model_ = window_->SheetModel();
  }
  ~GridEditingTest() override {
    window_.reset();
    fs::remove_all(folder_);
  }

  TGridTable& Sheet() { return window_->Controller().Sheet(); }

  // Body rows of the sheet with these first names, surnames from the list beside them.
  void FillSheet(const std::vector<std::string>& first_names, const std::string& klass = "D21") {
    TGridTable& sheet = Sheet();
    sheet.SetRowCount(static_cast<int>(first_names.size()) + 1);
    for (size_t i = 0; i < first_names.size(); ++i) {
      const int row = static_cast<int>(i) + 1;
      sheet.SetCell(runner_sheet::kFirstName, row, first_names[i]);
      sheet.SetCell(runner_sheet::kLastName, row, "Lie");
      sheet.SetCell(runner_sheet::kClass, row, klass);
      sheet.SetCell(runner_sheet::kStartNumber, row, std::to_string(100 + row));
    }
    model_->Reset();
  }

  QString Shown(int model_row, int col) const { return model_->data(model_->index(model_row, col)).toString(); }

  void Click(int model_row, int col) { view_->setCurrentIndex(model_->index(model_row, col)); }

  // Types `text` into a cell as the user does: the first key opens the editor, the rest go
  // to the editor, Enter ends the edit.
  void TypeIntoCell(int model_row, int col, const QString& text) {
    Click(model_row, col);
    QTest::keyClick(view_, text[0].toLatin1());
    auto* editor = qobject_cast<QLineEdit*>(view_->indexWidget(model_->index(model_row, col)));
    ASSERT_NE(editor, nullptr);
    QTest::keyClicks(editor, text.mid(1));
    EXPECT_EQ(editor->text(), text);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::qWait(0);  // Enter commits on the next turn of the event loop
  }

  // A left press and release on the heading of `col`, `from_left` pixels inside it.
  static void ClickHeading(GridView* view, int col, int from_left = -1) {
    QHeaderView* header = view->horizontalHeader();
    const int left = header->sectionViewportPosition(col);
    const int x = from_left < 0 ? left + header->sectionSize(col) / 2 : left + from_left;
    const QPoint at(x, header->height() / 2);
    QTest::mousePress(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  }

  // Runs `inspect` on the modal box that `open` brings up, once it is up.
  static void WithModal(const std::function<void()>& open, const std::function<void(QWidget&)>& inspect) {
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || seen) return;
      seen = true;
      inspect(*modal);
    });
    poll.start(10);
    open();
    poll.stop();
    EXPECT_TRUE(seen);
  }

  fs::path folder_;
  std::unique_ptr<MainWindow> window_;
  GridView* view_ = nullptr;
  GridTableModel* model_ = nullptr;
};

TEST_F(GridEditingTest, InsOnRowOneInsertsAnEmptyRowWithThePreviousClass) {
  FillSheet({"Ola", "Kari", "Per", "Anne", "Nils"});
  window_->Controller().PreviousClass() = "H21";
  QSignalSpy inserted(model_, &QAbstractItemModel::rowsInserted);
  QSignalSpy reset(model_, &QAbstractItemModel::modelReset);
  Click(0, runner_sheet::kClub);

  QTest::keyClick(view_, Qt::Key_Insert);
  EXPECT_EQ(Sheet().RowCount(), 7);
  ASSERT_EQ(model_->rowCount(), 6);
  EXPECT_EQ(Shown(0, runner_sheet::kFirstName), QString());
  EXPECT_EQ(Shown(0, runner_sheet::kClass), QStringLiteral("H21"));
  EXPECT_EQ(Shown(0, runner_sheet::kStartNumber), QString());
  EXPECT_EQ(Shown(1, runner_sheet::kFirstName), QStringLiteral("Ola"));
  EXPECT_EQ(Shown(5, runner_sheet::kFirstName), QStringLiteral("Nils"));
  // Told as one row inserted at the top, not as a new table; the new row is the current one.
  ASSERT_EQ(inserted.count(), 1);
  EXPECT_EQ(inserted[0][1].toInt(), 0);
  EXPECT_EQ(reset.count(), 0);
  EXPECT_EQ(view_->currentIndex(), model_->index(0, runner_sheet::kClub));
  EXPECT_EQ(Sheet().Row(), 1);

  // INS with Ctrl copies instead; with Alt it does nothing.
  QTest::keyClick(view_, Qt::Key_Insert, Qt::ControlModifier);
  QTest::keyClick(view_, Qt::Key_Insert, Qt::AltModifier);
  EXPECT_EQ(model_->rowCount(), 6);
}

TEST_F(GridEditingTest, DelRemovesTheCurrentRowAndEmptiesTheOnlyOne) {
  FillSheet({"Ola", "Kari"});
  QSignalSpy removed(model_, &QAbstractItemModel::rowsRemoved);
  Click(0, runner_sheet::kLastName);
  QTest::keyClick(view_, Qt::Key_Delete);
  ASSERT_EQ(model_->rowCount(), 1);
  EXPECT_EQ(removed.count(), 1);
  EXPECT_EQ(Shown(0, runner_sheet::kFirstName), QStringLiteral("Kari"));
  EXPECT_EQ(view_->currentIndex(), model_->index(0, runner_sheet::kLastName));

  // The only row stays, emptied.
  QTest::keyClick(view_, Qt::Key_Delete);
  EXPECT_EQ(Sheet().RowCount(), 2);
  ASSERT_EQ(model_->rowCount(), 1);
  for (int col = 0; col < runner_sheet::kColumnCount; ++col) EXPECT_EQ(Shown(0, col), QString()) << col;
}

TEST_F(GridEditingTest, WhileACellIsEditedInsAndDelActOnItsText) {
  FillSheet({"Ola", "Kari"});
  Click(1, runner_sheet::kFirstName);
  view_->edit(model_->index(1, runner_sheet::kFirstName));
  auto* editor = qobject_cast<QLineEdit*>(view_->indexWidget(model_->index(1, runner_sheet::kFirstName)));
  ASSERT_NE(editor, nullptr);
  QTest::keyClick(editor, Qt::Key_Home);
  QTest::keyClick(editor, Qt::Key_Delete);
  QTest::keyClick(editor, Qt::Key_Insert);
  EXPECT_EQ(editor->text(), QStringLiteral("ari"));
  EXPECT_EQ(model_->rowCount(), 2);
  EXPECT_EQ(Sheet().RowCount(), 3);
  QTest::keyClick(editor, Qt::Key_Return);
  QTest::qWait(0);
  EXPECT_EQ(Sheet().Cell(runner_sheet::kFirstName, 2), "ari");
  EXPECT_EQ(Sheet().RowCount(), 3);
}

TEST_F(GridEditingTest, EnterMovesAlongTheRowAndAppendsARowAtTheEnd) {
  FillSheet({"Ola"});
  // Typing ends with Enter: the text is written and the next cell of the row is current.
  TypeIntoCell(0, runner_sheet::kClub, QStringLiteral("Lyn"));
  EXPECT_EQ(Sheet().Cell(runner_sheet::kClub, 1), "Lyn");
  EXPECT_EQ(view_->currentIndex(), model_->index(0, runner_sheet::kSex));

  // Enter in the last cell of the last row appends a row and goes to its first cell.
  Click(0, runner_sheet::kNetTime);
  QTest::keyClick(view_, Qt::Key_Return);
  ASSERT_EQ(model_->rowCount(), 2);
  EXPECT_EQ(view_->currentIndex(), model_->index(1, 0));
  EXPECT_EQ(Sheet().Row(), 2);

  // Tab moves on too; on the read-times table it does not.
  QTest::keyClick(view_, Qt::Key_Tab);
  EXPECT_EQ(view_->currentIndex(), model_->index(1, 1));
  EXPECT_TRUE(view_->tabKeyNavigation());
  EXPECT_FALSE(window_->ReadTimesView()->tabKeyNavigation());
}

TEST_F(GridEditingTest, TypedStartNumbersCopiedAndPastedContinueTheSeries) {
  FillSheet({"A", "B", "C", "D", "E", "F"});
  for (int row = 1; row <= 6; ++row) Sheet().SetCell(runner_sheet::kStartNumber, row, "");
  model_->Refresh();
  TypeIntoCell(0, runner_sheet::kStartNumber, QStringLiteral("101"));
  TypeIntoCell(1, runner_sheet::kStartNumber, QStringLiteral("102"));

  // Both cells selected with the keyboard, copied with Ctrl+C.
  QClipboard* clipboard = QGuiApplication::clipboard();
  clipboard->clear();
  Click(0, runner_sheet::kStartNumber);
  QTest::keyClick(view_, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(view_->Selection(), GridSelection::Cells(runner_sheet::kStartNumber, 1, runner_sheet::kStartNumber, 2));
  QTest::keyClick(view_, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(clipboard->text(), QStringLiteral("101\r\n102\r\n"));

  // Five cells of the column selected, Ctrl+V: the series goes on.
  Click(0, runner_sheet::kStartNumber);
  for (int i = 0; i < 4; ++i) QTest::keyClick(view_, Qt::Key_Down, Qt::ShiftModifier);
  QTest::keyClick(view_, Qt::Key_V, Qt::ControlModifier);
  for (int row = 0; row < 5; ++row) {
    EXPECT_EQ(Shown(row, runner_sheet::kStartNumber), QString::number(101 + row)) << row;
  }
  EXPECT_EQ(Shown(5, runner_sheet::kStartNumber), QString());
  // The selection stays as it was.
  EXPECT_EQ(view_->Selection(), GridSelection::Cells(runner_sheet::kStartNumber, 1, runner_sheet::kStartNumber, 5));
}

TEST_F(GridEditingTest, TheClipboardKeysSpeakTheCodePageAndOtherProgramsLineEnds) {
  FillSheet({"Ola", "Kari", "Per", "Anne"});
  QClipboard* clipboard = QGuiApplication::clipboard();

  // Text from another program: LF line ends, a letter beyond ASCII. Shift+Insert pastes it.
  clipboard->setText(QStringLiteral("Bjørn\nÅse\n"));
  Click(0, runner_sheet::kClub);
  for (int i = 0; i < 3; ++i) QTest::keyClick(view_, Qt::Key_Down, Qt::ShiftModifier);
  QTest::keyClick(view_, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(Sheet().Cell(runner_sheet::kClub, 1), "Bj\xF8rn");
  EXPECT_EQ(Sheet().Cell(runner_sheet::kClub, 2), "\xC5se");
  EXPECT_EQ(Sheet().Cell(runner_sheet::kClub, 3), "Bj\xF8rn");
  EXPECT_EQ(Shown(3, runner_sheet::kClub), QStringLiteral("Åse"));
  EXPECT_EQ(model_->rowCount(), 4);

  // Shift+Delete cuts: the clipboard gets the texts, the cells are emptied.
  Click(2, runner_sheet::kClub);
  QTest::keyClick(view_, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(clipboard->text(), QStringLiteral("Bjørn"));
  EXPECT_EQ(Shown(2, runner_sheet::kClub), QString());
  EXPECT_EQ(model_->rowCount(), 4);  // a cut is not a row deletion

  // Ctrl+Insert copies; Ctrl+X cuts.
  Click(1, runner_sheet::kFirstName);
  QTest::keyClick(view_, Qt::Key_Insert, Qt::ControlModifier);
  EXPECT_EQ(clipboard->text(), QStringLiteral("Kari"));
  QTest::keyClick(view_, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(Shown(1, runner_sheet::kFirstName), QString());

  // The read-times table leaves the clipboard alone.
  clipboard->setText(QStringLiteral("untouched"));
  GridView* read_times = window_->ReadTimesView();
  read_times->setCurrentIndex(read_times->model()->index(0, 0));
  QTest::keyClick(read_times, Qt::Key_C, Qt::ControlModifier);
  QTest::keyClick(read_times, Qt::Key_Insert);
  EXPECT_EQ(clipboard->text(), QStringLiteral("untouched"));
  EXPECT_EQ(read_times->model()->rowCount(), 1);
}

TEST_F(GridEditingTest, TheShortcutMenuCopiesTheSelectionOrTheEditorsText) {
  FillSheet({"Ola", "Kari"});
  QClipboard* clipboard = QGuiApplication::clipboard();
  auto* menu = view_->findChild<QMenu*>(QStringLiteral("PopupMenu1"));
  ASSERT_NE(menu, nullptr);
  QStringList items;
  for (QAction* action : menu->actions()) {
    if (action->isVisible()) items << action->text() + "=" + action->shortcut().toString();
  }
  EXPECT_EQ(items, (QStringList{"&Copy=Ctrl+C", "Cu&t=Ctrl+X", "&Paste=Ctrl+V", "Select &All=Ctrl+A",
                                "&Undo=Ctrl+Z", "About="}));

  QAction* copy = menu->findChild<QAction*>(QStringLiteral("Copy1"));
  QAction* paste = menu->findChild<QAction*>(QStringLiteral("Paste1"));
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(paste, nullptr);
  Click(1, runner_sheet::kFirstName);
  copy->trigger();
  EXPECT_EQ(clipboard->text(), QStringLiteral("Kari"));
  Click(0, runner_sheet::kClub);
  paste->trigger();
  EXPECT_EQ(Sheet().Cell(runner_sheet::kClub, 1), "Kari");

  // With a cell being edited the commands act on the editor's text.
  QApplication::setActiveWindow(window_.get());
  const QModelIndex cell = model_->index(0, runner_sheet::kFirstName);
  Click(0, runner_sheet::kFirstName);
  view_->edit(cell);
  auto* editor = qobject_cast<QLineEdit*>(view_->indexWidget(cell));
  ASSERT_NE(editor, nullptr);
  editor->setFocus();
  ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == editor; }));
  editor->setSelection(0, 2);
  copy->trigger();
  EXPECT_EQ(clipboard->text(), QStringLiteral("Ol"));
  editor->setCursorPosition(3);
  paste->trigger();
  EXPECT_EQ(editor->text(), QStringLiteral("OlaOl"));
  EXPECT_EQ(Sheet().Cell(runner_sheet::kFirstName, 1), "Ola");
}

TEST_F(GridEditingTest, HeadingClicksSortUpThenDownAndTheMarkShowsIt) {
  FillSheet({"Ola", "Kari", "Per"});
  Sheet().SetCell(runner_sheet::kStartNumber, 1, "3");
  Sheet().SetCell(runner_sheet::kStartNumber, 2, "1");
  Sheet().SetCell(runner_sheet::kStartNumber, 3, "2");
  model_->Refresh();
  QHeaderView* header = view_->horizontalHeader();
  // The mark stands on column 0, ascending, before any click.
  EXPECT_TRUE(header->isSortIndicatorShown());
  EXPECT_EQ(header->sortIndicatorSection(), 0);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  EXPECT_EQ(window_->ReadTimesView()->horizontalHeader()->sortIndicatorSection(), 0);

  const auto column = [&] {
    QStringList texts;
    for (int row = 0; row < model_->rowCount(); ++row) texts << Shown(row, runner_sheet::kStartNumber);
    return texts;
  };
  ClickHeading(view_, runner_sheet::kStartNumber);
  EXPECT_EQ(column(), (QStringList{"1", "2", "3"}));
  EXPECT_EQ(Shown(0, runner_sheet::kFirstName), QStringLiteral("Kari"));
  EXPECT_EQ(header->sortIndicatorSection(), runner_sheet::kStartNumber);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);

  ClickHeading(view_, runner_sheet::kStartNumber);
  EXPECT_EQ(column(), (QStringList{"3", "2", "1"}));
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

  // Near a border the click belongs to the column sizing: no sort.
  ClickHeading(view_, runner_sheet::kStartNumber, 2);
  EXPECT_EQ(column(), (QStringList{"3", "2", "1"}));
  // A press on one heading released on another does not sort either.
  const QPoint from(header->sectionViewportPosition(runner_sheet::kFirstName) + 20, header->height() / 2);
  const QPoint to(header->sectionViewportPosition(runner_sheet::kLastName) + 20, header->height() / 2);
  QTest::mousePress(header->viewport(), Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseRelease(header->viewport(), Qt::LeftButton, Qt::NoModifier, to);
  EXPECT_EQ(header->sortIndicatorSection(), runner_sheet::kStartNumber);
  // A heading click does not select the column.
  EXPECT_FALSE(view_->selectionModel()->isColumnSelected(runner_sheet::kStartNumber));
}

TEST_F(GridEditingTest, AHeadingClickOnTheGroupedReadTimesTableSortsWithinTheGroups) {
  TGridTable& table = window_->Controller().ReadTimes();
  // The reader times break the ties of the grouping's sort: numbers fall within each group.
  const std::vector<std::vector<std::string>> messages = {
      {"30", "Time", "a"}, {"10", "Start", "b"}, {"20", "Time", "b"}, {"40", "Start", "a"}, {"5", "Time", "c"}};
  for (const auto& message : messages) {
    table.AddRow();
    const int row = table.RowCount() - 1;
    table.SetCell(read_times::kStartNumber, row, message[0]);
    table.SetCell(read_times::kText, row, message[1]);
    table.SetCell(read_times::kReaderTime, row, message[2]);
  }
  GridView* view = window_->ReadTimesView();
  window_->ReadTimesModel()->Refresh();
  window_->SelectPage(page::kReadTimes);
  window_->Controller().ReadTimesRightClick(0, read_times::kText);
  window_->ReadTimesModel()->Refresh();
  ASSERT_TRUE(table.IsGrouped());

  const auto groups = [&] {
    QStringList shape;
    for (int row = 1; row < table.RowCount(); ++row) {
      shape << (table.KindOfRow(row) == RowKind::GroupHeading ? QStringLiteral("|")
                                                                : QString::fromStdString(table.Cell(1, row)));
    }
    return shape.join(' ');
  };
  const QString before = groups();
  ClickHeading(view, read_times::kStartNumber);
  EXPECT_EQ(view->horizontalHeader()->sortIndicatorSection(), read_times::kStartNumber);
  EXPECT_EQ(view->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
  const QString after = groups();
  EXPECT_NE(after, before);
  // The group headings stay where they were; the numbers sort within each group.
  EXPECT_EQ(after.count('|'), before.count('|'));
  EXPECT_EQ(after.indexOf('|'), before.indexOf('|'));
  for (const QString& group : after.split('|', Qt::SkipEmptyParts)) {
    const QStringList numbers = group.split(' ', Qt::SkipEmptyParts);
    QStringList sorted = numbers;
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    EXPECT_EQ(numbers, sorted) << after.toStdString();
  }
}

TEST_F(GridEditingTest, TheFindDialogFindsOneAfterAnotherThenSaysThereAreNoMore) {
  // Ola in row 1 and far down in row 150, Olav in between; no other cell holds "ola".
  std::vector<std::string> names(150, "Kari");
  names[0] = "Ola";
  names[39] = "Olav";
  names[149] = "Ola";
  FillSheet(names);
  view_->scrollToTop();

  window_->findChild<QToolButton*>(QStringLiteral("SpeedButton7"))->click();  // "Search for data"
  FindTextDialog* dialog = window_->FindDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->Target(), view_);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Find text"));
  EXPECT_FALSE(dialog->isModal());
  EXPECT_TRUE(dialog->isWindow());
  EXPECT_EQ(dialog->parentWidget(), window_.get());  // kept above the main window

  // The texts and the boxes as they open.
  QStringList texts;
  for (QLabel* label : dialog->findChildren<QLabel*>()) texts << label->text();
  EXPECT_TRUE(texts.contains(QStringLiteral("Text to find")));
  EXPECT_EQ(dialog->findChild<QGroupBox*>(QStringLiteral("Direction"))->title(), QStringLiteral("Direction"));
  EXPECT_EQ(dialog->findChild<QGroupBox*>(QStringLiteral("Scope"))->title(), QStringLiteral("Scope"));
  EXPECT_EQ(dialog->findChild<QGroupBox*>(QStringLiteral("Options"))->title(), QString());
  QStringList boxes;
  for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) boxes << box->text() + (box->isChecked() ? "*" : "");
  EXPECT_EQ(boxes, (QStringList{"Forward (top to bottom)*", "Forward (left to right)", "Backward (bottom to top)",
                                "Backward (right to left)", "&Case sensitive", "&Whole words only",
                                "&Match from first char", "&Ignore HTML tags", "&Find in fixed cells",
                                "Match with &wildcards"}));
  QStringList scopes;
  for (QRadioButton* choice : dialog->findChildren<QRadioButton*>()) scopes << choice->text() + (choice->isChecked() ? "*" : "");
  EXPECT_EQ(scopes, (QStringList{"All cells*", "Current row only", "Current column only"}));
  auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("OkButton"));
  EXPECT_EQ(ok->text(), QStringLiteral("Ok"));
  EXPECT_EQ(dialog->findChild<QPushButton*>(QStringLiteral("CancelButton"))->text(), QStringLiteral("Cancel"));

  auto* text = dialog->findChild<QComboBox*>(QStringLiteral("TextToFind"));
  ASSERT_TRUE(text->isEditable());
  QTest::keyClicks(text->lineEdit(), QStringLiteral("ola"));

  QTest::keyClick(text->lineEdit(), Qt::Key_Return);  // Enter in the text box is "Ok"
  EXPECT_EQ(view_->currentIndex(), model_->index(0, runner_sheet::kFirstName));
  ok->click();
  EXPECT_EQ(view_->currentIndex(), model_->index(39, runner_sheet::kFirstName));
  ok->click();
  const QModelIndex last = model_->index(149, runner_sheet::kFirstName);
  EXPECT_EQ(view_->currentIndex(), last);
  EXPECT_EQ(Sheet().Row(), 150);
  EXPECT_TRUE(view_->viewport()->rect().contains(view_->visualRect(last)));  // scrolled to it

  WithModal([&] { ok->click(); },
            [](QWidget& box) {
              auto* message = qobject_cast<QMessageBox*>(&box);
              ASSERT_NE(message, nullptr);
              EXPECT_EQ(message->icon(), QMessageBox::Information);
              EXPECT_EQ(message->text(), QStringLiteral("No more occurences of text  \n\"ola\""));
              message->accept();
            });
  EXPECT_TRUE(dialog->isVisible());
  // The next search starts at the top again; the text is in the list once.
  ok->click();
  EXPECT_EQ(view_->currentIndex(), model_->index(0, runner_sheet::kFirstName));
  EXPECT_EQ(text->count(), 1);
  EXPECT_EQ(text->itemText(0), QStringLiteral("ola"));

  // "Current row only" leaves the horizontal directions alone and switches to one of them.
  dialog->findChild<QRadioButton*>(QStringLiteral("ScopeCurrentRow"))->click();
  EXPECT_FALSE(dialog->findChild<QCheckBox*>(QStringLiteral("ForwardTopToBottom"))->isEnabled());
  EXPECT_TRUE(dialog->findChild<QCheckBox*>(QStringLiteral("ForwardLeftToRight"))->isChecked());
  // Clicking the checked direction keeps it checked.
  dialog->findChild<QCheckBox*>(QStringLiteral("ForwardLeftToRight"))->click();
  EXPECT_TRUE(dialog->findChild<QCheckBox*>(QStringLiteral("ForwardLeftToRight"))->isChecked());
  dialog->findChild<QRadioButton*>(QStringLiteral("ScopeAllCells"))->click();
  dialog->findChild<QCheckBox*>(QStringLiteral("CaseSensitive"))->click();
  EXPECT_TRUE(window_->FindState().Box(FindBox::CaseSensitive));

  // Closed and opened again on the read-times table: the list, the text and the boxes stay.
  dialog->findChild<QPushButton*>(QStringLiteral("CancelButton"))->click();
  EXPECT_FALSE(dialog->isVisible());
  window_->SelectPage(page::kReadTimes);
  window_->SearchForData();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->Target(), window_->ReadTimesView());
  EXPECT_EQ(text->currentText(), QStringLiteral("ola"));
  EXPECT_EQ(text->count(), 1);
  EXPECT_TRUE(dialog->findChild<QCheckBox*>(QStringLiteral("CaseSensitive"))->isChecked());
  EXPECT_TRUE(dialog->findChild<QCheckBox*>(QStringLiteral("ForwardLeftToRight"))->isChecked());
  // The last found cell came along too, so the first search goes on after it; the next
  // one starts from the beginning.
  const auto expect_message = [&](const QString& message) {
    WithModal([&] { ok->click(); },
              [&](QWidget& box) {
                auto* shown = qobject_cast<QMessageBox*>(&box);
                ASSERT_NE(shown, nullptr);
                EXPECT_EQ(shown->text(), message);
                shown->accept();
              });
  };
  expect_message(QStringLiteral("No more occurences of text  \n\"ola\""));
  expect_message(QStringLiteral("Could not find text \n\"ola\""));
}

}  // namespace
}  // namespace ln40::gui
