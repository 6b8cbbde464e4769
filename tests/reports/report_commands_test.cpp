#include "reports/report_commands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "reports/recording_canvas.h"
#include "reports/safe_file.h"
#include "report_test_support.h"
#include "text/error.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;

// The dialog answers as told and may change settings the way a user would; jobs print on
// recording canvases.
class FakePrintHost : public PrintHost {
 public:
  bool answer = true;
  std::function<void(PrintSettings&)> user_edit;
  int dialogs = 0;
  PrintDialogOptions last_options;
  std::vector<std::string> title_lines_seen;
  std::vector<std::string> job_names;
  std::vector<PageOrientation> orientations;
  RecordingCanvas* last_canvas = nullptr;
  std::vector<std::unique_ptr<RecordingCanvas>> finished;

  bool ShowPrintSettingsDialog(const TGridTable&, const TableLook&, PrintSettings& settings,
                               const PrintDialogOptions& options) override {
    ++dialogs;
    last_options = options;
    title_lines_seen = settings.TitleLines;
    if (user_edit) user_edit(settings);
    return answer;
  }

  std::unique_ptr<PrintCanvas> BeginPrintJob(const std::string& job_name, PageOrientation orientation) override {
    job_names.push_back(job_name);
    orientations.push_back(orientation);
    auto canvas = std::make_unique<ForwardingCanvas>(this);
    return canvas;
  }

 private:
  // Hands the recorded pages back to the host when the job ends.
  class ForwardingCanvas : public RecordingCanvas {
   public:
    explicit ForwardingCanvas(FakePrintHost* host) : host_(host) {}
    ~ForwardingCanvas() override {
      auto copy = std::make_unique<RecordingCanvas>(*this);
      host_->last_canvas = copy.get();
      host_->finished.push_back(std::move(copy));
    }

   private:
    FakePrintHost* host_;
  };
};

class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/ln40_reports_XXXXXX";
    path_ = std::string(::mkdtemp(name)) + "/";
  }
  ~TempFolder() { fs::remove_all(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

TDateTime Day() {
  TDateTime date = 0;
  TryEncodeDate(2026, 12, 8, date);
  return date + 0.5;
}

TGridTable Sheet() {
  return testing::MakeSheet({{"Kari", "Li", "H21", "IL", "10:00:00", "00:41:10"},
                             {"Per", "Dal", "H21", "OK", "10:01:00", "00:39:02"}});
}

TEST(ReportCommands, ResultListPrintsWhenConfirmedAndWritesThePage) {
  TempFolder folder;
  FakePrintHost host;
  FixedClock clock(Day());
  ListCommandContext context{"Vinter", "3", folder.Path(), &host, &clock};
  const TGridTable sheet = Sheet();
  const std::vector<std::string> before = testing::Snapshot(sheet);

  const ListCommandResult result = RunResultListCommand(sheet, context);
  EXPECT_TRUE(result.printed);
  EXPECT_EQ(result.pagePath, folder.Path() + "Results.htm");
  EXPECT_FALSE(host.last_options.bordersEnabled);
  EXPECT_TRUE(host.last_options.preview);
  EXPECT_EQ(host.title_lines_seen, std::vector<std::string>{"Resultatliste Vinter 3"});
  ASSERT_NE(host.last_canvas, nullptr);
  EXPECT_NE(host.last_canvas->Find(0, " Resultatliste Vinter 3"), nullptr);
  EXPECT_NE(host.last_canvas->Find(0, "Per Dal"), nullptr);

  std::string page;
  ASSERT_TRUE(ReadFileBytes(result.pagePath, page));
  EXPECT_EQ(page.rfind("<h1><center>Resultatliste Vinter</center></h1>\r\n", 0), 0u);
  EXPECT_EQ(testing::Snapshot(sheet), before);
}

TEST(ReportCommands, CancelPrintsNothingButWritesThePage) {
  TempFolder folder;
  FakePrintHost host;
  host.answer = false;
  ListCommandContext context{"R", "S", folder.Path(), &host};
  const ListCommandResult result = RunStartListCommand(Sheet(), context);
  EXPECT_FALSE(result.printed);
  EXPECT_TRUE(host.job_names.empty());
  EXPECT_EQ(host.dialogs, 1);
  EXPECT_TRUE(fs::exists(folder.Path() + "Start.htm"));
}

TEST(ReportCommands, WithoutAPrinterOnlyThePageIsWritten) {
  TempFolder folder;
  ListCommandContext context{"R", "S", folder.Path()};
  EXPECT_FALSE(RunResultListCommand(Sheet(), context).printed);
  EXPECT_TRUE(fs::exists(folder.Path() + "Results.htm"));
}

TEST(ReportCommands, PageThatCannotBeCreatedFailsAfterThePrint) {
  TempFolder folder;
  FakePrintHost host;
  ListCommandContext context{"R", "S", folder.Path() + "missing/", &host};
  try {
    RunResultListCommand(Sheet(), context);
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot Create file " + folder.Path() + "missing/Results.htm");
  }
  EXPECT_EQ(host.job_names.size(), 1u);
}

TEST(ReportCommands, PrintCommandTitlesTheTableAndKeepsConfirmedEdits) {
  FakePrintHost host;
  FixedClock clock(Day());
  PrintSettings settings = RunnerSheetPrintSettings();
  const TGridTable sheet = Sheet();
  host.user_edit = [](PrintSettings& s) {
    s.Orientation = PageOrientation::Landscape;
    s.Date = PrintPosition::None;
  };
  ASSERT_TRUE(RunPrintCommand(sheet, BandedTableLook(), settings, "Race", "Sub", host, clock, Locale::WorkedExample()));
  EXPECT_TRUE(host.last_options.bordersEnabled);
  EXPECT_EQ(host.title_lines_seen, std::vector<std::string>{"Race Sub"});
  EXPECT_EQ(host.job_names, std::vector<std::string>{"Race Sub"});
  EXPECT_EQ(host.orientations, std::vector<PageOrientation>{PageOrientation::Landscape});
  EXPECT_EQ(settings.Orientation, PageOrientation::Landscape);  // kept for the next print
  EXPECT_EQ(settings.Date, PrintPosition::None);
  ASSERT_NE(host.last_canvas, nullptr);
  EXPECT_NE(host.last_canvas->Find(0, " Race Sub"), nullptr);
  EXPECT_NE(host.last_canvas->Find(0, "  1 "), nullptr);
}

TEST(ReportCommands, CancelledPrintCommandRestoresTheSettings) {
  FakePrintHost host;
  host.answer = false;
  host.user_edit = [](PrintSettings& s) {
    s.HeaderFont.size = 30;
    s.LeftSize = 500;
  };
  FixedClock clock(Day());
  PrintSettings settings = RunnerSheetPrintSettings();
  EXPECT_FALSE(RunPrintCommand(Sheet(), BandedTableLook(), settings, "Race", "Sub", host, clock, Locale::WorkedExample()));
  EXPECT_EQ(settings.HeaderFont.size, 8);
  EXPECT_EQ(settings.LeftSize, 99);
  EXPECT_EQ(settings.TitleText, "Race Sub");
}

}  // namespace
}  // namespace ln40
