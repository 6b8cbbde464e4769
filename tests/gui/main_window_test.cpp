// The real window on Qt's offscreen platform: its captions, toolbar and pages, reader
// messages arriving through a pseudo-terminal into the visible read-times table, the runner
// sheet's edits, the dialogs and the close sequence.
#include "main_window.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <filesystem>

#include "about_box.h"
#include "grid_model.h"
#include "grid_view.h"
#include "gui_test_support.h"
#include "link/discovery_sysfs.h"
#include "sheet/runner_sheet.h"
#include "timing/read_times_table.h"

namespace ln40::gui {
namespace {

namespace fs = std::filesystem;
using testing::App;
using testing::WaitFor;

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() : folder_(fs::temp_directory_path() / ("ln40gui" + std::to_string(::getpid()))) {
    App();
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  ~MainWindowTest() override {
    window_.reset();
    fs::remove_all(folder_);
  }

  // The window on a machine without serial ports, plus the extra ports named.
  MainWindow& Window(const std::string& extra_ports = "", std::string settings_path = "") {
    WindowSetup setup;
    setup.data_folder = folder_.string() + "/";
    setup.settings_path = settings_path.empty() ? (folder_ / "vexa" / "ln40util.conf").string() : settings_path;
    setup.locale = Locale::WorkedExample();
    setup.clock = std::make_unique<FixedClock>(46364.5);
    setup.devices = std::make_unique<SysfsSerialDevices>((folder_ / "no-sysfs").string(), extra_ports);
    window_.reset();  // one station per data folder: the window before goes first
    window_ = std::make_unique<MainWindow>(std::move(setup));
    return *window_;
  }

  // Shows the window and waits for the start-up routine (it selects the Setup page and
  // sets the log path label).
  void ShowAndStart(MainWindow& window) {
    window.show();
    auto* label = window.findChild<QLabel*>(QStringLiteral("Label4"));
    ASSERT_TRUE(WaitFor([label] { return label->text().startsWith(QStringLiteral("Logfile path:")); }));
  }

  // Runs `inspect` on the modal dialog that `open` brings up, once it is up.
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
};

TEST_F(MainWindowTest, TheWindowAsItOpens) {
  MainWindow& window = Window();
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Vexa LN40 utility ver 0.92"));
  EXPECT_EQ(window.size(), QSize(758, 476));
  ShowAndStart(window);
  EXPECT_EQ(window.findChild<QLabel*>(QStringLiteral("Label4"))->text(),
            QStringLiteral("Logfile path:") + QString::fromStdString(folder_.string()) + "/");

  auto* pages = window.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
  ASSERT_NE(pages, nullptr);
  QStringList captions;
  for (int i = 0; i < pages->count(); ++i) captions << pages->tabText(i);
  EXPECT_EQ(captions, (QStringList{"Read times", "Excel timing", "Help", "Setup"}));
  EXPECT_EQ(pages->currentIndex(), 3);
  EXPECT_FALSE(window.OptionsPanelVisible());

  // The toolbar, left to right, with the hints shown on hover.
  auto* toolbar = window.findChild<QWidget*>(QStringLiteral("Panel1"));
  EXPECT_EQ(toolbar->height(), 41);
  QStringList buttons;
  for (int i = 0; i < toolbar->layout()->count(); ++i) {
    auto* button = qobject_cast<QToolButton*>(toolbar->layout()->itemAt(i)->widget());
    if (!button) continue;
    EXPECT_EQ(button->size(), QSize(33, 33));
    EXPECT_TRUE(button->autoRaise());
    buttons << button->objectName() + "=" + button->toolTip();
  }
  EXPECT_EQ(buttons, (QStringList{"SpeedButton1=Close",
                                  "SpeedButton2=Save as excel file",
                                  "SpeedButton3=Print ",
                                  "SpeedButton4=Save as html file",
                                  "SpeedButton5=Save as XML file",
                                  "SpeedButton8=Serial port properties",
                                  "SpeedButton9=Get data again",
                                  "SpeedButton10=Start/stop comunication",
                                  "SpeedButton11=Search for readers (LN20 / LN40)",
                                  "SpeedButton12=Mail log og excel file",
                                  "SpeedButton19=Print startlist",
                                  "SpeedButton14=Print result list",
                                  "SpeedButton17=Open excel file",
                                  "SpeedButton6=Get data from klubben online",
                                  "SpeedButton7=Search for data",
                                  "SpeedButton13=Assign startnumbers and starttime"}));
  auto* xml = window.findChild<QToolButton*>(QStringLiteral("SpeedButton5"));
  EXPECT_EQ(xml->text(), QStringLiteral("XML"));
  EXPECT_TRUE(xml->font().bold());
  auto* com_ports = window.findChild<QPushButton*>(QStringLiteral("ComPorts"));
  EXPECT_EQ(com_ports->text(), QStringLiteral("COM ports"));
  EXPECT_EQ(com_ports->size(), QSize(75, 25));
  EXPECT_GT(com_ports->mapTo(&window, QPoint(0, 0)).x(), 758 - 100);

  // The Help page: fifty paragraphs, editable.
  auto* help = window.findChild<QTextEdit*>(QStringLiteral("RichEdit1"));
  EXPECT_FALSE(help->isReadOnly());
  const QStringList paragraphs = help->toPlainText().split(QLatin1Char('\n'));
  ASSERT_EQ(paragraphs.size(), 50);
  EXPECT_EQ(paragraphs[0], QStringLiteral("Velkommen til Vexa LN40 utility"));
  EXPECT_EQ(paragraphs[24], QStringLiteral("E                     Kjønn        (ikke obligatorisk)"));
  EXPECT_EQ(paragraphs[49], QStringLiteral("Gjør på samme måte som for å kopiere startnr (Skriv starttiden i to celler og "
                                           "kopier til hele kolonnen)"));

  for (const char* name : {"SetupReadTimes", "SetupExcelTiming", "SetupShowHelp", "SetupExit", "SetupOnline"}) {
    EXPECT_EQ(window.findChild<QPushButton*>(QString::fromLatin1(name))->size(), QSize(193, 48)) << name;
  }
  EXPECT_EQ(window.Options().nulltime, "00:00:00");
  EXPECT_EQ(window.findChild<QLineEdit*>(QStringLiteral("MaskEditEx1"))->displayText(), QStringLiteral("00:00:00"));
  EXPECT_EQ(window.Options().raceName, "Test race");
  EXPECT_EQ(window.TimeStatus(), "?");

  // "Show help" leaves the options panel hidden; a click on a tab shows it.
  window.findChild<QPushButton*>(QStringLiteral("SetupShowHelp"))->click();
  EXPECT_EQ(pages->currentIndex(), 2);
  EXPECT_FALSE(window.OptionsPanelVisible());
  QTabBar* tabs = pages->tabBar();
  QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(1).center());
  EXPECT_EQ(pages->currentIndex(), 1);
  EXPECT_TRUE(window.OptionsPanelVisible());
  EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("OptionsPanel"))->width(), 135);
}

TEST_F(MainWindowTest, ReaderMessagesThroughAPseudoTerminalReachTheVisibleTable) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  MainWindow& window = Window(std::string("ln40=") + name);
  ShowAndStart(window);
  ASSERT_TRUE(WaitFor([&] { return window.Controller().Link().Connected(); }));
  EXPECT_EQ(window.PortListEntry(window.SelectedPortListEntry()), std::string(name) + " Vexa USB LN40 ");

  window.findChild<QPushButton*>(QStringLiteral("SetupReadTimes"))->click();
  EXPECT_EQ(window.CurrentPage(), 0);
  EXPECT_TRUE(window.OptionsPanelVisible());

  // The reader's line is quiet before it sends: bytes that come at once after the open
  // could be the end of a message begun before it. A terminal delivers the three lines in
  // one block, which a 1200 baud line could not bring in less than half a second.
  const std::string stream = "A01000012003:12.345\rB01000031004:59.999\rA01000007004:01.120\r";
  QTest::qWait(600);
  ASSERT_EQ(::write(master, stream.data(), stream.size()), static_cast<ssize_t>(stream.size()));
  GridView* view = window.ReadTimesView();
  ASSERT_TRUE(WaitFor([&] { return view->model()->rowCount() == 4; }));

  // Row 1 of the table stays empty; the messages follow, numbered from 1.
  QAbstractItemModel* model = view->model();
  EXPECT_EQ(model->data(model->index(0, read_times::kNumber)).toString(), QString());
  EXPECT_EQ(model->data(model->index(1, read_times::kNumber)).toString(), QStringLiteral("1"));
  EXPECT_EQ(model->data(model->index(1, read_times::kStartNumber)).toString(), QStringLiteral("12"));
  EXPECT_EQ(model->data(model->index(1, read_times::kText)).toString(), QStringLiteral("Time"));
  EXPECT_EQ(model->data(model->index(3, read_times::kReaderTime)).toString(), QStringLiteral("004:01.120"));
  for (int row = 1; row < 4; ++row) {
    EXPECT_FALSE(view->isRowHidden(row));
    EXPECT_TRUE(view->viewport()->rect().intersects(view->visualRect(model->index(row, 1)))) << row;
  }
  EXPECT_TRUE(window.findChild<QToolButton*>(QStringLiteral("spcom"))->isVisible());

  // Every message was acknowledged.
  std::string back;
  ASSERT_TRUE(WaitFor([&] {
    pollfd in{master, POLLIN, 0};
    while (::poll(&in, 1, 0) > 0) {
      char buffer[64];
      const ssize_t count = ::read(master, buffer, sizeof buffer);
      if (count <= 0) break;
      back.append(buffer, static_cast<size_t>(count));
    }
    return std::count(back.begin(), back.end(), '+') >= 3;
  }));

  window_.reset();  // closes the port before the terminal goes
  ::close(master);
}

TEST_F(MainWindowTest, ThePortListHoldsEachPortOnceAndShowsItsLongestEntry) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  MainWindow& window = Window(std::string("ln40=") + name);
  ShowAndStart(window);
  ASSERT_TRUE(WaitFor([&] { return window.Controller().Link().Connected(); }));
  auto* list = window.findChild<QComboBox*>(QStringLiteral("ComboBox1"));
  const QStringList once{QString::fromLatin1(name) + " Serial port", QString::fromLatin1(name) + " Vexa USB LN40 "};
  const auto entries = [list] {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) texts << list->itemText(i);
    return texts;
  };
  EXPECT_EQ(entries(), once);
  auto* com_ports = window.findChild<QPushButton*>(QStringLiteral("ComPorts"));
  com_ports->click();
  com_ports->click();
  EXPECT_EQ(entries(), once);
  EXPECT_EQ(list->currentIndex(), 1);

  // The drop-down list shows the longest usual entry whole, and the wider list leaves the
  // window its width: every button of the toolbar and the options panel stay in it.
  const QString widest = QStringLiteral("/dev/ttyUSB0 Vexa USB LN40 ");
  EXPECT_LE(window.minimumSizeHint().width(), 758);
  list->addItem(widest);
  list->showPopup();
  EXPECT_GE(list->view()->viewport()->width(), list->view()->fontMetrics().horizontalAdvance(widest));
  list->hidePopup();

  window_.reset();
  ::close(master);
}

TEST_F(MainWindowTest, ATimeThatReplacesAnEarlierFinishIsSaidOnTheStatusLine) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  MainWindow& window = Window(std::string("ln40=") + name);
  ShowAndStart(window);
  ASSERT_TRUE(WaitFor([&] { return window.Controller().Link().Connected(); }));
  window.Controller().Sheet().SetCell(runner_sheet::kStartNumber, 1, "12");
  QTest::qWait(300);  // a quiet line before the reader's first message
  const std::string first = "A01000012032:10.000\r";
  ASSERT_EQ(::write(master, first.data(), first.size()), static_cast<ssize_t>(first.size()));
  ASSERT_TRUE(WaitFor([&] { return window.Controller().Sheet().Cell(runner_sheet::kFinish, 1) == "00:32:10"; }));
  auto* note = window.findChild<QLabel*>(QStringLiteral("StatusNote"));
  EXPECT_EQ(note->text(), QString());

  const std::string second = "A01000012045:01.000\r";
  ASSERT_EQ(::write(master, second.data(), second.size()), static_cast<ssize_t>(second.size()));
  ASSERT_TRUE(WaitFor([&] { return window.Controller().Sheet().Cell(runner_sheet::kFinish, 1) == "00:45:01"; }));
  EXPECT_EQ(note->text(), QStringLiteral("Start number 12: 00:32:10 replaced by 00:45:01"));
  EXPECT_EQ(window.Controller().ReadTimes().RowCount(), 4);  // both times stay in the table

  window_.reset();
  ::close(master);
}

TEST_F(MainWindowTest, AnEditOfTheSheetRunsTheNetTimeRuleAndARefreshKeepsTheTyping) {
  MainWindow& window = Window();
  ShowAndStart(window);
  window.findChild<QPushButton*>(QStringLiteral("SetupExcelTiming"))->click();
  GridView* sheet = window.SheetView();
  QAbstractItemModel* model = sheet->model();

  const auto type_into = [&](int col, const QString& text) {
    const QModelIndex cell = model->index(0, col);
    sheet->setCurrentIndex(cell);
    sheet->edit(cell);
    auto* editor = qobject_cast<QLineEdit*>(sheet->indexWidget(cell));
    ASSERT_NE(editor, nullptr);
    editor->clear();
    QTest::keyClicks(editor, text);
    // Messages arriving while the user types refresh the tables; the typing stays.
    window.TablesChanged();
    EXPECT_EQ(editor->text(), text);
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::qWait(0);  // Enter commits on the next turn of the event loop
  };
  type_into(runner_sheet::kStartTime, QStringLiteral("10:00:00"));
  type_into(runner_sheet::kFinish, QStringLiteral("10:05:30"));
  EXPECT_EQ(window.Controller().Sheet().Cell(runner_sheet::kFinish, 1), "10:05:30");
  EXPECT_EQ(model->data(model->index(0, runner_sheet::kNetTime)).toString(), QStringLiteral("00:05:30"));
  EXPECT_EQ(window.Controller().Sheet().Row(), 1);
}

TEST_F(MainWindowTest, AnErrorIsShownInABoxAndTheWindowGoesOn) {
  // The only port is one that cannot be opened: discovery's error reaches the standard
  // error report during the start-up routine, which then loads the settings all the same.
  const QString missing = QString::fromStdString((folder_ / "no-such-tty").string());
  MainWindow& window = Window("ln40=" + missing.toStdString());
  WithModal([&] { ShowAndStart(window); },
            [&missing](QWidget& box) {
              auto* message = qobject_cast<QMessageBox*>(&box);
              ASSERT_NE(message, nullptr);
              EXPECT_EQ(message->icon(), QMessageBox::Critical);
              EXPECT_EQ(message->text(), QStringLiteral("Unable to open com port ") + missing +
                                             QStringLiteral(": No such file or directory. Plug the reader in, or "
                                                            "choose another port."));
              // The system call only in the details.
              EXPECT_EQ(message->detailedText(),
                        QStringLiteral("System call: open(") + missing + QStringLiteral("): ENOENT (errno 2)"));
              message->accept();
            });
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.Controller().Session().AutosaveEnabled());
  EXPECT_FALSE(window.Controller().Link().Connected());
}

TEST_F(MainWindowTest, TheAboutBoxIsCreatedOnceAndShowsTheVersion) {
  MainWindow& window = Window();
  ShowAndStart(window);
  QAction* about = window.findChild<QAction*>(QStringLiteral("About1"));
  ASSERT_NE(about, nullptr);
  for (int time = 0; time < 2; ++time) {
    WithModal([&] { about->trigger(); },
              [&](QWidget& box) {
                EXPECT_EQ(&box, window.About());
                EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
                EXPECT_EQ(box.size(), QSize(298, 213));
                EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("ProductName"))->text(),
                          QStringLiteral("Vexa LN40 utility"));
                EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("Version"))->text(), QStringLiteral("Version\t0.9.2.0"));
                // Escape does nothing; OK closes.
                QTest::keyClick(&box, Qt::Key_Escape);
                EXPECT_TRUE(box.isVisible());
                auto* ok = box.findChild<QPushButton*>(QStringLiteral("OKButton"));
                EXPECT_TRUE(ok->isDefault());
                ok->click();
              });
  }
}

TEST_F(MainWindowTest, TheSerialSettingsDialogAppliesOnOkOnly) {
  MainWindow& window = Window();
  ShowAndStart(window);
  auto* properties = window.findChild<QToolButton*>(QStringLiteral("SpeedButton8"));
  const auto choose_baud_rate = [&](const QString& rate, const char* button) {
    WithModal([&] { properties->click(); },
              [&](QWidget& dialog) {
                EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Setup"));
                auto* group = dialog.findChild<QGroupBox*>();
                ASSERT_NE(group, nullptr);
                EXPECT_EQ(group->title(), QStringLiteral(" Settings "));
                auto* form = qobject_cast<QFormLayout*>(group->layout());
                QStringList labels;
                for (int row = 0; row < form->rowCount(); ++row) {
                  labels << qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)->widget())->text();
                }
                EXPECT_EQ(labels, (QStringList{"Port", "Baud rate", "Data bits", "Stop bits", "Parity", "Flow control"}));
                auto* baud = dialog.findChild<QComboBox*>(QStringLiteral("Combo2"));
                EXPECT_EQ(baud->currentText(), QStringLiteral("1200"));
                baud->setCurrentText(rate);
                auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("Button1"));
                EXPECT_EQ(ok->text(), QStringLiteral("OK"));
                EXPECT_TRUE(ok->isDefault());
                dialog.findChild<QPushButton*>(QString::fromLatin1(button))->click();
              });
  };
  choose_baud_rate(QStringLiteral("9600"), "Button2");  // Cancel
  EXPECT_EQ(window.Controller().Link().Port().Settings().baudRate, 1200);
  choose_baud_rate(QStringLiteral("9600"), "Button1");  // OK
  EXPECT_EQ(window.Controller().Link().Port().Settings().baudRate, 9600);
}

TEST_F(MainWindowTest, ClosingSavesTheSettingsOrKeepsTheWindowOpen) {
  // A settings store that cannot be written (its path is a folder): the close is refused
  // with the store's message.
  MainWindow& stuck = Window("", folder_.string());
  ShowAndStart(stuck);
  WithModal([&] { EXPECT_FALSE(stuck.close()); },
            [](QWidget& box) {
              auto* message = qobject_cast<QMessageBox*>(&box);
              ASSERT_NE(message, nullptr);
              EXPECT_EQ(message->text(), QStringLiteral("Failed to set data for 'cbtidel'"));
              message->accept();
            });
  EXPECT_TRUE(stuck.isVisible());

  MainWindow& window = Window();
  ShowAndStart(window);
  window.findChild<QLineEdit*>(QStringLiteral("Edit3"))->setText(QStringLiteral("Holmenkollen"));
  window.findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->click();  // "Close"
  EXPECT_FALSE(window.isVisible());
  TSettingsFile stored((folder_ / "vexa" / "ln40util.conf").string());
  ASSERT_TRUE(stored.Open());
  EXPECT_EQ(stored.ReadText("Edit3"), "Holmenkollen");
}

// A journal that cannot be written stays in sight on the status line until it can again;
// a second window on the same folder is refused.
TEST_F(MainWindowTest, AJournalThatCannotBeWrittenShowsAWarningThatStays) {
  fs::create_directories(folder_ / "journal.sqlite");  // something else where the journal goes
  MainWindow& window = Window();
  ShowAndStart(window);
  auto* warning = window.findChild<QLabel*>(QStringLiteral("Warning"));
  ASSERT_NE(warning, nullptr);
  EXPECT_TRUE(warning->isVisible());
  EXPECT_TRUE(warning->text().contains(QStringLiteral("journal"))) << warning->text().toStdString();

  WindowSetup second;
  second.data_folder = folder_.string() + "/";
  second.settings_path = (folder_ / "vexa" / "second.conf").string();
  second.locale = Locale::WorkedExample();
  second.clock = std::make_unique<FixedClock>(46364.5);
  second.devices = std::make_unique<SysfsSerialDevices>((folder_ / "no-sysfs").string(), "");
  try {
    MainWindow refused(std::move(second));
    ADD_FAILURE() << "a second window on the folder was not refused";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "The folder " + folder_.string() + " is in use by another ln40util (pid " + std::to_string(::getpid()) + ")");
  }

  fs::remove_all(folder_ / "journal.sqlite");
  ASSERT_TRUE(WaitFor([&] { return warning->isHidden(); }, 5000));
}

}  // namespace
}  // namespace ln40::gui
