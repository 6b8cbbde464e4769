// The runner sheet's toolbar commands in the real window: "Get data from klubben online"
// through the file open dialog, and "Assign startnumbers and starttime" through its
// Yes/No/Cancel question and the per-class prompts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <deque>
#include <filesystem>
#include <fstream>

#include "gui_test_support.h"
#include "link/discovery_sysfs.h"
#include "main_window.h"

namespace ln40::gui {
namespace {

namespace fs = std::filesystem;
using testing::App;
using testing::WaitFor;

using testing::ModalAnswers;

void ClickMessageBoxButton(QWidget& widget, QMessageBox::StandardButton which) {
  auto* box = qobject_cast<QMessageBox*>(&widget);
  ASSERT_NE(box, nullptr);
  box->button(which)->click();
}

class SheetCommandsTest : public ::testing::Test {
 protected:
  SheetCommandsTest() : folder_(fs::temp_directory_path() / ("ln40sheetcmd" + std::to_string(::getpid()))) {
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
  }
  ~SheetCommandsTest() override {
    window_.reset();
    fs::remove_all(folder_);
  }

  // Clicks a toolbar button and answers the dialogs it shows.
  void Click(const char* button, std::deque<ModalAnswers::Handler> handlers) {
    auto* tool = window_->findChild<QToolButton*>(QString::fromLatin1(button));
    ASSERT_NE(tool, nullptr);
    ModalAnswers answers(std::move(handlers));
    tool->click();
    EXPECT_TRUE(answers.AllAnswered());
  }

  // An entry file with three runners in two classes.
  std::string WriteEntryFile() {
    const std::string path = (folder_ / "påmelding.xml").string();
    std::ofstream(path) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<EntryList>\n"
                           "<Eventname>Vårløpet</Eventname>\n"
                           "<SingleEntry><EntryClass shortName=\"H21\"/><Person sex=\"M\" clubName=\"IL Nor\">"
                           "<PersonName><Family>Berg</Family><Given>Per</Given></PersonName>"
                           "<Identity value=\"11\"/></Person></SingleEntry>\n"
                           "<SingleEntry><EntryClass shortName=\"D21\"/><Person sex=\"F\" clubName=\"OK Vang\">"
                           "<PersonName><Family>Lie</Family><Given>Anne</Given></PersonName>"
                           "<Identity value=\"12\"/></Person></SingleEntry>\n"
                           "<SingleEntry><EntryClass shortName=\"H21\"/><Person sex=\"M\" clubName=\"OK Vang\">"
                           "<PersonName><Family>Moe</Family><Given>Ola</Given></PersonName>"
                           "<Identity value=\"13\"/></Person></SingleEntry>\n"
                           "</EntryList>\n";
    return path;
  }

  ModalAnswers::Handler ChooseFile(const std::string& path) {
    return [this, path](QWidget& widget) {
      auto* dialog = qobject_cast<QFileDialog*>(&widget);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Load data from a klubben online xml file"));
      EXPECT_EQ(dialog->nameFilters(), (QStringList{"Entry file (*.xml)", "All (*)"}));
      EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("xml"));
      EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
      if (path.empty()) {
        dialog->reject();
        return;
      }
      EXPECT_TRUE(testing::TypeFileName(*dialog, QString::fromStdString(path))) << path;
    };
  }

  TGridTable& Sheet() { return window_->Controller().Sheet(); }

  fs::path folder_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(SheetCommandsTest, TheEntryImportButtonOpensTheEntryFileDialogAndFillsTheSheet) {
  Click("SpeedButton6", {ChooseFile("")});  // cancelled: nothing happens
  EXPECT_EQ(Sheet().RowCount(), 2);
  EXPECT_EQ(Sheet().Cell(0, 1), "");

  Click("SpeedButton6", {ChooseFile(WriteEntryFile())});
  ASSERT_EQ(Sheet().RowCount(), 4);
  EXPECT_EQ(Sheet().Cell(0, 1), "Per");
  EXPECT_EQ(Sheet().Cell(2, 2), "D21");
  EXPECT_EQ(Sheet().Cell(9, 3), "13");
  EXPECT_EQ(window_->Options().raceName, "V\xE5rl\xF8pet");
}

TEST_F(SheetCommandsTest, TheAssignButtonAsksForVacantRunnersPerClass) {
  Click("SpeedButton6", {ChooseFile(WriteEntryFile())});
  ASSERT_EQ(Sheet().RowCount(), 4);

  // The information icon, and Cancel as the default: a stray Enter changes nothing.
  Click("SpeedButton13", {[](QWidget& widget) {
          auto* box = qobject_cast<QMessageBox*>(&widget);
          ASSERT_NE(box, nullptr);
          EXPECT_EQ(box->windowTitle(), QStringLiteral("Vacant runners"));
          EXPECT_EQ(box->text(), QStringLiteral("Insert vacant runners before each class?"));
          EXPECT_EQ(box->icon(), QMessageBox::Information);
          EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::Cancel));
          QTest::keyClick(box, Qt::Key_Return);
        }});
  EXPECT_EQ(Sheet().RowCount(), 4);
  EXPECT_EQ(Sheet().Cell(6, 1), "");

  // Yes, then one prompt per class: D21 gets 1 vacant place, H21 none.
  QStringList prompts;
  const auto answer = [&prompts](const char* count) {
    return [&prompts, count](QWidget& widget) {
      auto* input = qobject_cast<QInputDialog*>(&widget);
      ASSERT_NE(input, nullptr);
      EXPECT_EQ(input->windowTitle(), QStringLiteral("Insert vacant runners"));
      prompts << input->labelText();
      input->setTextValue(QString::fromLatin1(count));
      input->accept();
    };
  };
  Click("SpeedButton13", {[](QWidget& widget) {
                            auto* box = qobject_cast<QMessageBox*>(&widget);
                            ASSERT_NE(box, nullptr);
                            ClickMessageBoxButton(widget, QMessageBox::Yes);
                          },
                          answer("1"), answer("0")});
  EXPECT_EQ(prompts, (QStringList{"Number of vacant runners for D21", "Number of vacant runners for H21"}));
  ASSERT_EQ(Sheet().RowCount(), 5);
  for (int row = 1; row < Sheet().RowCount(); ++row) {
    EXPECT_EQ(Sheet().Cell(6, row), std::to_string(row)) << "row " << row;
    EXPECT_FALSE(Sheet().Cell(8, row).empty()) << "row " << row;
  }
  EXPECT_EQ(Sheet().Cell(0, 1), "");  // the vacant place before D21
  EXPECT_EQ(Sheet().Cell(2, 1), "D21");
  EXPECT_EQ(Sheet().Cell(0, 2), "Anne");
}

TEST_F(SheetCommandsTest, AnswerNoNumbersTheRunnersWithoutVacantPlaces) {
  Click("SpeedButton6", {ChooseFile(WriteEntryFile())});
  Click("SpeedButton13", {[](QWidget& box) { ClickMessageBoxButton(box, QMessageBox::No); }});
  ASSERT_EQ(Sheet().RowCount(), 4);
  EXPECT_EQ(Sheet().Cell(6, 3), "3");
  EXPECT_EQ(Sheet().Cell(8, 1), "00:00:15");
}

}  // namespace
}  // namespace ln40::gui
