// The workbook buttons of the real window: "Save as excel file", "Save as XML file" and
// "Open excel file" through their file dialogs, the default extension added to a typed
// name, the last name shown again, and an open error in the standard error box.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <deque>
#include <filesystem>
#include <fstream>

#include "gui_test_support.h"
#include "link/discovery_sysfs.h"
#include "main_window.h"
#include "xls/xls_file.h"

namespace ln40::gui {
namespace {

namespace fs = std::filesystem;
using testing::App;
using testing::WaitFor;

using testing::ModalAnswers;

class WorkbookButtonsTest : public ::testing::Test {
 protected:
  WorkbookButtonsTest() : folder_(fs::temp_directory_path() / ("ln40wbbuttons" + std::to_string(::getpid()))) {
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
  ~WorkbookButtonsTest() override {
    window_.reset();
    fs::remove_all(folder_);
  }

  void Click(const char* button, std::deque<ModalAnswers::Handler> handlers) {
    auto* tool = window_->findChild<QToolButton*>(QString::fromLatin1(button));
    ASSERT_NE(tool, nullptr);
    ModalAnswers answers(std::move(handlers));
    tool->click();
    EXPECT_TRUE(answers.AllAnswered());
  }

  // Checks the dialog, then types `name` in the window's folder (or cancels for "").
  ModalAnswers::Handler Answer(const QString& title, const QStringList& filters, QFileDialog::AcceptMode mode,
                               const std::string& name, const std::string& shown = "") {
    return [=, this](QWidget& widget) {
      auto* dialog = qobject_cast<QFileDialog*>(&widget);
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->windowTitle(), title);
      EXPECT_EQ(dialog->nameFilters(), filters);
      EXPECT_EQ(dialog->acceptMode(), mode);
      if (mode == QFileDialog::AcceptSave) {
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
      }
      if (!shown.empty()) {
        EXPECT_EQ(dialog->selectedFiles().value(0).toStdString(), shown);
      }
      if (name.empty()) {
        dialog->reject();
        return;
      }
      dialog->setDirectory(QString::fromStdString(folder_.string()));
      EXPECT_TRUE(testing::TypeFileName(*dialog, QString::fromStdString(name))) << name;
    };
  }

  TGridTable& Sheet() { return window_->Controller().Sheet(); }

  fs::path folder_;
  std::unique_ptr<MainWindow> window_;
};

const QStringList kExcelSaveFilters = {"Excel file (*.xls)", "All files (*)"};
const QStringList kExcelOpenFilters = {"Excel file (*.xls)", "All (*)"};

TEST_F(WorkbookButtonsTest, SaveTypedWithoutExtensionThenOpenAgain) {
  Sheet().SetCell(0, 1, "Kari");
  Sheet().SetCell(6, 1, "17");
  Click("SpeedButton2", {Answer("Save as excel sheet", kExcelSaveFilters, QFileDialog::AcceptSave, "race")});
  const fs::path saved = folder_ / "race.xls";
  ASSERT_TRUE(fs::exists(saved));
  TXLSFile book;
  book.OpenFile(saved.string());
  EXPECT_EQ(book.SheetCount(), 2);
  EXPECT_EQ(book.SheetName(1), u"LN40");
  EXPECT_EQ(book.SheetName(2), u"Excel");

  Sheet().SetCell(0, 1, "changed");
  Click("SpeedButton17", {Answer("Open excel file", kExcelOpenFilters, QFileDialog::AcceptOpen, saved.string())});
  EXPECT_EQ(Sheet().Cell(0, 1), "Kari");
  EXPECT_EQ(Sheet().Cell(11, 0), "Sluttid");

  // Both dialogs show the name chosen last; cancelling changes nothing.
  Click("SpeedButton2",
        {Answer("Save as excel sheet", kExcelSaveFilters, QFileDialog::AcceptSave, "", saved.string())});
  Click("SpeedButton17",
        {Answer("Open excel file", kExcelOpenFilters, QFileDialog::AcceptOpen, "", saved.string())});
  EXPECT_EQ(Sheet().Cell(0, 1), "Kari");
}

TEST_F(WorkbookButtonsTest, XmlTypedWithoutExtensionGetsXlm) {
  Click("SpeedButton5", {Answer("Save as xml file", {"XML file (*.xml)", "All files (*)"}, QFileDialog::AcceptSave,
                                "times")});
  EXPECT_TRUE(fs::exists(folder_ / "times.xlm"));
  std::ifstream in(folder_ / "times.xlm", std::ios::binary);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r");
}

TEST_F(WorkbookButtonsTest, AnOpenErrorShowsTheStandardErrorBox) {
  std::ofstream(folder_ / "notes.xls") << "not a workbook";
  Sheet().SetCell(0, 1, "Kari");
  QString shown;
  Click("SpeedButton17", {Answer("Open excel file", kExcelOpenFilters, QFileDialog::AcceptOpen,
                                 (folder_ / "notes.xls").string()),
                          [&shown](QWidget& widget) {
                            auto* box = qobject_cast<QMessageBox*>(&widget);
                            ASSERT_NE(box, nullptr);
                            shown = box->text();
                            box->button(QMessageBox::Ok)->click();
                          }});
  EXPECT_FALSE(shown.isEmpty());
  EXPECT_EQ(Sheet().Cell(0, 1), "Kari");
}

}  // namespace
}  // namespace ln40::gui
