// "Mail log og excel file" in the real window: the "Send mail" prompt with the stored
// address, "mail.xls" written with both sheets, and the message handed to a composer script
// that LN40UTIL_MAIL_COMMAND names in place of xdg-email.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QInputDialog>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/settings_file.h"
#include "gui_test_support.h"
#include "link/discovery_sysfs.h"
#include "main_window.h"
#include "reports/xdg_email_composer.h"
#include "xls/xls_file.h"

namespace ln40::gui {
namespace {

namespace fs = std::filesystem;
using testing::App;
using testing::WaitFor;

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

class MailButtonTest : public ::testing::Test {
 protected:
  MailButtonTest() : folder_(fs::temp_directory_path() / ("ln40mailbutton" + std::to_string(::getpid()))) {
    App();
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    const fs::path script = folder_ / "composer.sh";
    std::ofstream(script) << "#!/bin/sh\nfor arg in \"$@\"; do printf '%s\\n' \"$arg\"; done > '"
                          << Record().string() << "'\n";
    fs::permissions(script, fs::perms::owner_all);
    ::setenv(kMailCommandVariable, script.c_str(), 1);

    const std::string settings_path = (folder_ / "vexa" / "ln40util.conf").string();
    TSettingsFile settings(settings_path);
    settings.Open();
    settings.WriteText("tomail", "old@example.no");
    settings.Save();

    WindowSetup setup;
    setup.data_folder = folder_.string() + "/";
    setup.settings_path = settings_path;
    setup.locale = Locale::WorkedExample();
    setup.clock = std::make_unique<FixedClock>(46364.5);
    setup.devices = std::make_unique<SysfsSerialDevices>((folder_ / "no-sysfs").string(), "");
    window_ = std::make_unique<MainWindow>(std::move(setup));
    window_->show();
    auto* label = window_->findChild<QLabel*>(QStringLiteral("Label4"));
    EXPECT_TRUE(WaitFor([label] { return label->text().startsWith(QStringLiteral("Logfile path:")); }));
  }
  ~MailButtonTest() override {
    window_.reset();
    ::unsetenv(kMailCommandVariable);
    fs::remove_all(folder_);
  }

  fs::path Record() const { return folder_ / "composer-args.txt"; }

  // Clicks the mail button; `answer` handles the prompt once it is up.
  void ClickMail(const std::function<void(QInputDialog&)>& answer) {
    bool answered = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* input = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      if (input == nullptr || answered) return;
      answered = true;
      answer(*input);
    });
    poll.start(10);
    auto* button = window_->findChild<QToolButton*>(QStringLiteral("SpeedButton12"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Mail log og excel file"));
    button->click();
    EXPECT_TRUE(answered);
  }

  fs::path folder_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(MailButtonTest, PromptsWithTheStoredAddressAndHandsTheWorkbookToTheComposer) {
  TGridTable& sheet = window_->Controller().Sheet();
  sheet.SetCell(0, 1, "Kari");
  sheet.SetCell(6, 1, "101");
  StationOptions options = window_->Options();
  options.bfgLog = false;
  options.chronexLog = false;
  window_->ShowOptions(options);

  ClickMail([](QInputDialog& input) {
    EXPECT_EQ(input.windowTitle(), QStringLiteral("Send mail"));
    EXPECT_EQ(input.labelText(), QStringLiteral("Email address"));
    EXPECT_EQ(input.textValue(), QStringLiteral("old@example.no"));
    input.setTextValue(QStringLiteral("kari@example.no"));
    input.accept();
  });

  const std::string folder = folder_.string() + "/";
  EXPECT_EQ(ReadText(Record()),
            "--utf8\n--subject\nTest race 10.10.04\n--attach\n" + folder + "mail.xls\nkari@example.no\n");
  // Both tables, the runner sheet first, read back with our reader.
  TXLSFile book;
  book.OpenFile(folder + "mail.xls");
  ASSERT_EQ(book.SheetCount(), 2);
  EXPECT_EQ(book.SheetName(1), u"LN40");
  EXPECT_EQ(book.SheetName(2), u"Excel");
}

TEST_F(MailButtonTest, CancellingThePromptWritesNothing) {
  ClickMail([](QInputDialog& input) { input.reject(); });
  EXPECT_FALSE(fs::exists(folder_ / "mail.xls"));
  EXPECT_FALSE(fs::exists(Record()));
}

}  // namespace
}  // namespace ln40::gui
