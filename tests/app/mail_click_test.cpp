// The toolbar's mail command through the window's controller: the address in the settings
// store, the window's fields and boxes, and a composer script named by
// LN40UTIL_MAIL_COMMAND standing for xdg-email.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/main_window_controller.h"
#include "fake_main_window.h"
#include "fake_timers.h"
#include "link/event_loop.h"
#include "reports/xdg_email_composer.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;
using testing::FakeMainWindow;

class NoPorts : public SerialDeviceSource {
 public:
  std::optional<std::vector<SerialDevice>> ListDevices() override { return std::vector<SerialDevice>{}; }
};

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class MailClickTest : public ::testing::Test {
 protected:
  MailClickTest() : folder_(fs::temp_directory_path() / ("ln40mailclick" + std::to_string(::getpid()))) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    const fs::path script = folder_ / "composer.sh";
    std::ofstream(script) << "#!/bin/sh\nfor arg in \"$@\"; do printf '%s\\n' \"$arg\"; done > '"
                          << (folder_ / "composer-args.txt").string() << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    ::setenv(kMailCommandVariable, script.c_str(), 1);
    settings_path_ = (folder_ / "vexa" / "ln40util.conf").string();
    settings_ = std::make_unique<TSettingsFile>(settings_path_);
    settings_->Open();
    settings_->WriteText("tomail", "old@example.no");
    settings_->Save();
    window_ = std::make_unique<MainWindowController>(view_, loop_, timers_, clock_, Locale::WorkedExample(),
                                                     folder_.string() + "/", *settings_, ports_);
    window_->writeMailWorkbook = [this](const std::string& path) {
      indicator_while_writing_ = view_.autosave_indicator;
      std::ofstream(path) << "both tables";
    };
    std::ofstream(folder_ / "Chronex.log") << "";
    std::ofstream(folder_ / "BFG_Test race_10.10.04.log") << "";
  }
  ~MailClickTest() override {
    window_.reset();
    ::unsetenv(kMailCommandVariable);
    fs::remove_all(folder_);
  }

  std::string StoredAddress() {
    TSettingsFile store(settings_path_);
    store.Open();
    return store.ReadText("tomail").value_or("<none>");
  }

  fs::path folder_;
  std::string settings_path_;
  FakeMainWindow view_;
  TEventLoop loop_;
  testing::FakeTimers timers_;
  FixedClock clock_{46364.5};
  NoPorts ports_;
  std::unique_ptr<TSettingsFile> settings_;
  std::unique_ptr<MainWindowController> window_;
  bool indicator_while_writing_ = false;
};

TEST_F(MailClickTest, MailsTheWorkbookAndTheCheckedLogsToTheTypedAddress) {
  view_.options.raceName = "Vintercup";
  view_.options.subName = "runde 3";
  view_.options.chronexLog = false;
  std::ofstream(folder_ / "BFG_Vintercup_runde 3.log") << "";
  view_.input_answer = " kari@example.no ";
  window_->MailClick();

  EXPECT_TRUE(view_.errors.empty()) << view_.errors.front();
  EXPECT_TRUE(indicator_while_writing_);
  EXPECT_FALSE(view_.autosave_indicator);
  EXPECT_EQ(StoredAddress(), " kari@example.no ");
  const std::string folder = folder_.string() + "/";
  EXPECT_EQ(ReadText(folder_ / "composer-args.txt"), "--utf8\n--subject\nVintercup runde 3\n--attach\n" + folder +
                                                         "mail.xls\n--attach\n" + folder +
                                                         "BFG_Vintercup_runde 3.log\nkari@example.no\n");
}

TEST_F(MailClickTest, FailuresGoToTheErrorBoxAndCancelChangesNothing) {
  view_.input_ok = false;
  window_->MailClick();
  EXPECT_TRUE(view_.errors.empty());
  EXPECT_EQ(StoredAddress(), "old@example.no");
  EXPECT_FALSE(fs::exists(folder_ / "mail.xls"));
  EXPECT_FALSE(fs::exists(folder_ / "composer-args.txt"));

  view_.input_ok = true;
  view_.input_answer = "";  // the preset stays: the stored address
  fs::remove(folder_ / "Chronex.log");
  window_->MailClick();
  EXPECT_EQ(view_.errors, std::vector<std::string>{"MAPI Error: (11) \"A specified attachment was not found\""});
  EXPECT_FALSE(fs::exists(folder_ / "composer-args.txt"));
  EXPECT_FALSE(view_.autosave_indicator);

  window_->mailComposer = std::make_unique<XdgEmailComposer>("xdg-email-not-installed");
  window_->MailClick();
  EXPECT_EQ(view_.errors.back(),
            "No mail program found (xdg-email-not-installed). The files are in " + folder_.string() + ".");
}

}  // namespace
}  // namespace ln40
