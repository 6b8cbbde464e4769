// The report commands of the main window against a fake window: which table "Print "
// prints on each page, the "HTML Settings" dialog with its preview and the save that
// follows "OK", and the list pages written into the program's folder.
#include "app/window_reports.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "fake_main_window.h"
#include "reports/recording_canvas.h"
#include "reports/safe_file.h"
#include "sheet/runner_sheet.h"
#include "timing/read_times_table.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;

// Answers the print settings dialog as told and prints on recording canvases.
class RecordingPrintHost : public PrintHost {
 public:
  bool answer = true;
  std::vector<const TGridTable*> dialog_tables;
  std::vector<PrintDialogOptions> dialog_options;
  std::vector<std::string> title_lines;
  std::vector<std::string> job_names;

  bool ShowPrintSettingsDialog(const TGridTable& table, const TableLook&, PrintSettings& settings,
                               const PrintDialogOptions& options) override {
    dialog_tables.push_back(&table);
    dialog_options.push_back(options);
    title_lines = settings.TitleLines;
    settings.HeaderSize = 123;  // an edit the user makes
    return answer;
  }
  std::unique_ptr<PrintCanvas> BeginPrintJob(const std::string& job_name, PageOrientation) override {
    job_names.push_back(job_name);
    return std::make_unique<RecordingCanvas>();
  }
};

class ReportWindow : public testing::FakeMainWindow {
 public:
  RecordingPrintHost* printer = nullptr;
  bool html_answer = true;
  std::function<void(HTMLSettings&)> html_edit;
  bool press_preview = false;
  int html_dialogs = 0;

  PrintHost* Printer() override { return printer; }
  bool ShowHtmlSettings(HTMLSettings& settings, const std::function<void(const HTMLSettings&)>& preview) override {
    ++html_dialogs;
    if (html_edit) html_edit(settings);
    if (press_preview) preview(settings);
    return html_answer;
  }
};

class WindowReportsTest : public ::testing::Test {
 protected:
  WindowReportsTest()
      : folder_(fs::temp_directory_path() / ("ln40reports" + std::to_string(::getpid()))),
        clock_(46364.5),
        reports_(window_, clock_, Locale::WorkedExample(), folder_.string() + "/") {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    window_.printer = &host_;
    window_.options.raceName = "Vinter";
    window_.options.subName = "Runde 3";
    SetUpRunnerSheet(sheet_);
    sheet_.SetCell(runner_sheet::kFirstName, 1, "Kari");
    sheet_.SetCell(runner_sheet::kLastName, 1, "Li");
    sheet_.SetCell(runner_sheet::kClass, 1, "H21");
    sheet_.SetCell(runner_sheet::kStartTime, 1, "10:00:00");
    sheet_.SetCell(runner_sheet::kNetTime, 1, "00:41:10");
    SetUpReadTimesTable(read_times_);
  }
  ~WindowReportsTest() override { fs::remove_all(folder_); }

  fs::path folder_;
  FixedClock clock_;
  ReportWindow window_;
  RecordingPrintHost host_;
  WindowReports reports_;
  TGridTable sheet_;
  TGridTable read_times_;
};

TEST_F(WindowReportsTest, PrintTakesTheReadTimesTableOnItsPageAndTheRunnerSheetElsewhere) {
  const struct {
    int page;
    bool read_times;
  } cases[] = {{page::kReadTimes, true}, {page::kExcelTiming, false}, {page::kHelp, false}, {page::kSetup, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.page);
    window_.page = c.page;
    reports_.Print(read_times_, sheet_);
    ASSERT_FALSE(host_.dialog_tables.empty());
    EXPECT_EQ(host_.dialog_tables.back(), c.read_times ? &read_times_ : &sheet_);
    EXPECT_TRUE(host_.dialog_options.back().bordersEnabled);
    EXPECT_EQ(host_.title_lines, (std::vector<std::string>{"Vinter Runde 3"}));
    EXPECT_EQ(host_.job_names.back(), "Vinter Runde 3");
  }
  // The confirmed edits stay with each table's own settings.
  EXPECT_EQ(reports_.ReadTimesPrint().HeaderSize, 123);
  EXPECT_EQ(reports_.SheetPrint().HeaderSize, 123);
}

TEST_F(WindowReportsTest, CancelledPrintKeepsTheSettings) {
  host_.answer = false;
  window_.page = page::kExcelTiming;
  reports_.Print(read_times_, sheet_);
  EXPECT_TRUE(host_.job_names.empty());
  EXPECT_EQ(reports_.SheetPrint().HeaderSize, 99);
}

TEST_F(WindowReportsTest, ListsAreWrittenIntoTheProgramsFolderEveryTime) {
  host_.answer = false;  // no print: the pages are written all the same
  const ListCommandResult results = reports_.ResultList(sheet_);
  EXPECT_EQ(results.pagePath, folder_.string() + "/Results.htm");
  EXPECT_FALSE(results.printed);
  const ListCommandResult start = reports_.StartList(sheet_);
  EXPECT_EQ(start.pagePath, folder_.string() + "/Start.htm");
  std::string page;
  ASSERT_TRUE(ReadFileBytes(results.pagePath, page));
  EXPECT_NE(page.find("<h1><center>Resultatliste Vinter</center></h1>"), std::string::npos);
  ASSERT_TRUE(ReadFileBytes(start.pagePath, page));
  EXPECT_NE(page.find("<h1><center>Startliste Vinter</center></h1>"), std::string::npos);
  ASSERT_EQ(host_.dialog_options.size(), 2u);
  EXPECT_FALSE(host_.dialog_options[0].bordersEnabled);
  EXPECT_EQ(host_.title_lines, (std::vector<std::string>{"Startliste Vinter Runde 3"}));

  host_.answer = true;
  EXPECT_TRUE(reports_.ResultList(sheet_).printed);
  EXPECT_EQ(host_.job_names.back(), "Resultatliste Vinter Runde 3");
}

TEST_F(WindowReportsTest, ListsWithoutAPrinterStillWriteTheirPages) {
  window_.printer = nullptr;
  EXPECT_FALSE(reports_.ResultList(sheet_).printed);
  EXPECT_TRUE(fs::exists(folder_ / "Results.htm"));
  reports_.Print(read_times_, sheet_);  // nothing to print on
  EXPECT_TRUE(host_.dialog_tables.empty());
}

TEST_F(WindowReportsTest, SaveAsHtmlStoresTheSettingsAndWritesTheChosenFile) {
  window_.page = page::kExcelTiming;
  window_.html_edit = [](HTMLSettings& s) {
    s.BorderSize = 3;
    s.PrefixTag = "<h2>Deltakere</h2>";
  };
  window_.file_to_save = (folder_ / "deltakere").string();
  reports_.SaveAsHtml(read_times_, sheet_);
  ASSERT_EQ(window_.save_dialogs.size(), 1u);
  EXPECT_EQ(window_.save_dialogs[0].title, "Save as html file");
  EXPECT_EQ(window_.save_dialogs[0].default_extension, "htm");
  std::string page;
  ASSERT_TRUE(ReadFileBytes((folder_ / "deltakere.htm").string(), page));
  EXPECT_EQ(page.rfind("<h2>Deltakere</h2>\r\n<table border=\"3\"", 0), 0u) << page.substr(0, 80);
  EXPECT_NE(page.find("Kari"), std::string::npos);
  EXPECT_EQ(reports_.SheetHtml().BorderSize, 3);
  EXPECT_TRUE(window_.urls.empty());  // "Auto show output" is off

  // The next time the dialog offers the name chosen last.
  window_.html_edit = [](HTMLSettings& s) { s.AutoPreview = true; };
  reports_.SaveAsHtml(read_times_, sheet_);
  ASSERT_EQ(window_.save_dialogs.size(), 2u);
  EXPECT_EQ(window_.save_dialogs[1].file_name, (folder_ / "deltakere.htm").string());
  ASSERT_EQ(window_.urls.size(), 1u);
  EXPECT_EQ(window_.urls[0], "file://" + (folder_ / "deltakere.htm").string());
}

TEST_F(WindowReportsTest, SaveAsHtmlCancelledWritesNothing) {
  window_.page = page::kExcelTiming;
  window_.file_to_save = (folder_ / "x.htm").string();
  window_.html_answer = false;
  reports_.SaveAsHtml(read_times_, sheet_);
  EXPECT_TRUE(window_.save_dialogs.empty());

  window_.html_answer = true;
  window_.file_to_save.reset();  // the save dialog cancelled
  reports_.SaveAsHtml(read_times_, sheet_);
  EXPECT_EQ(window_.save_dialogs.size(), 1u);
  EXPECT_FALSE(fs::exists(folder_ / "x.htm"));
}

TEST_F(WindowReportsTest, SaveAsHtmlDoesNothingOnHelpAndSetup) {
  for (const int page : {page::kHelp, page::kSetup}) {
    window_.page = page;
    reports_.SaveAsHtml(read_times_, sheet_);
  }
  EXPECT_EQ(window_.html_dialogs, 0);
}

TEST_F(WindowReportsTest, PreviewWritesTheTemporaryPageOfThePagesTable) {
  ::setenv("TMPDIR", folder_.c_str(), 1);
  window_.page = page::kReadTimes;
  window_.press_preview = true;
  window_.html_answer = false;
  reports_.SaveAsHtml(read_times_, sheet_);
  ::unsetenv("TMPDIR");
  ASSERT_EQ(window_.urls.size(), 1u);
  EXPECT_EQ(window_.urls[0], "file://" + (folder_ / "temp001.htm").string());
  std::string page;
  ASSERT_TRUE(ReadFileBytes((folder_ / "temp001.htm").string(), page));
  EXPECT_NE(page.find("Kivono/startno"), std::string::npos);
}

TEST(FileUrl, EncodesEverythingButPlainCharacters) {
  EXPECT_EQ(FileUrl("/tmp/a b/Results.htm"), "file:///tmp/a%20b/Results.htm");
  EXPECT_EQ(FileUrl("/home/\xC3\xA5se/#1?.htm"), "file:///home/%C3%A5se/%231%3F.htm");
}

}  // namespace
}  // namespace ln40
