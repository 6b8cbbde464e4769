#include "reports/mail_command.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "reports/xdg_email_composer.h"
#include "text/error.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class Prompt : public InputDialog {
 public:
  bool confirm = true;
  std::string typed;  // the text the user leaves in the box
  std::string preset_seen, caption_seen, label_seen;
  int shown = 0;

  bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) override {
    ++shown;
    caption_seen = caption;
    label_seen = prompt;
    preset_seen = value;
    if (confirm) value = typed;
    return confirm;
  }
};

// The program's folder with the two logs present, a prompt, the stored address, a workbook
// writer standing for the exchange, and a composer script that writes each argument it is
// given on a line of its own into a record file and ends with a chosen status.
class MailCommandTest : public ::testing::Test {
 protected:
  MailCommandTest() : folder_(fs::temp_directory_path() / ("ln40mail" + std::to_string(::getpid()))) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    WriteText(folder_ / "Chronex.log", "chronex\r\n");
    WriteText(folder_ / "BFG_Test race_10.10.04.log", "bfg\r\n");
    MakeComposerScript(0);
    prompt_.typed = "ola@example.no";

    context_.race = "Test race";
    context_.sub = "10.10.04";
    context_.folder = folder_.string() + "/";
    context_.prompt = &prompt_;
    context_.composer = &composer_;
    context_.readAddress = [this] { return stored_; };
    context_.writeAddress = [this](const std::string& address) { stored_ = address; };
    context_.writeWorkbook = [this](const std::string& path) {
      written_.push_back(path);
      // Both sheets, in this order, while the indicator is shown.
      EXPECT_TRUE(indicator_);
      WriteText(path, "LN40+Excel");
    };
    context_.autosaveIndicator = [this](bool shown) { indicator_ = shown; };
    context_.note = [this](const std::string& text) { notes_.push_back(text); };
  }
  ~MailCommandTest() override { fs::remove_all(folder_); }

  // `before` and `after` are shell lines run before and after the arguments are recorded.
  void MakeComposerScript(int status, const std::string& before = "", const std::string& after = "") {
    const fs::path script = folder_ / "composer.sh";
    WriteText(script, "#!/bin/sh\n" + before + "for arg in \"$@\"; do printf '%s\\n' \"$arg\"; done > '" +
                          Record().string() + "'\n" + after + "exit " + std::to_string(status) + "\n");
    fs::permissions(script, fs::perms::owner_all);
  }
  fs::path Record() const { return folder_ / "composer-args.txt"; }
  std::vector<std::string> ComposerArguments() const { return Lines(ReadText(Record())); }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  // `message` with the program's folder in place of FOLDER.
  std::string Named(std::string message) const {
    const size_t at = message.find("FOLDER");
    if (at != std::string::npos) message.replace(at, 6, folder_.string());
    return message;
  }

  // The message of `error` when RunMailCommand throws, "" when it does not.
  std::string FailureOf() {
    try {
      RunMailCommand(context_);
    } catch (const Error& error) {
      return error.what();
    }
    return "";
  }

  fs::path folder_;
  Prompt prompt_;
  XdgEmailComposer composer_{(folder_ / "composer.sh").string()};
  MailCommandContext context_;
  std::string stored_ = "old@example.no";
  std::vector<std::string> written_;
  std::vector<std::string> notes_;
  bool indicator_ = false;
};

TEST_F(MailCommandTest, HandsSubjectRecipientAndAttachmentsInOrderToTheComposer) {
  prompt_.typed = "ola@example.no ";  // a trailing blank
  EXPECT_TRUE(RunMailCommand(context_));

  EXPECT_EQ(prompt_.caption_seen, "Send mail");
  EXPECT_EQ(prompt_.label_seen, "Email address");
  EXPECT_EQ(prompt_.preset_seen, "old@example.no");
  EXPECT_EQ(stored_, "ola@example.no ");  // stored as typed
  EXPECT_EQ(written_, std::vector<std::string>{Path("mail.xls")});
  EXPECT_FALSE(indicator_);
  EXPECT_EQ(ComposerArguments(), (std::vector<std::string>{
                                     "--utf8", "--subject", "Test race 10.10.04",           //
                                     "--attach", Path("mail.xls"),                          //
                                     "--attach", Path("BFG_Test race_10.10.04.log"),        //
                                     "--attach", Path("Chronex.log"),                       //
                                     "ola@example.no",                                      // sent without the blank
                                 }));
}

TEST_F(MailCommandTest, TheLogBoxesChooseTheAttachments) {
  struct Case {
    bool bfg;
    bool chronex;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {false, false, {"mail.xls"}},
      {true, false, {"mail.xls", "BFG_Test race_10.10.04.log"}},
      {false, true, {"mail.xls", "Chronex.log"}},
      {true, true, {"mail.xls", "BFG_Test race_10.10.04.log", "Chronex.log"}},
  };
  for (const Case& c : cases) {
    context_.bfgLog = c.bfg;
    context_.chronexLog = c.chronex;
    fs::remove(Record());
    ASSERT_TRUE(RunMailCommand(context_));
    std::vector<std::string> expected{"--utf8", "--subject", "Test race 10.10.04"};
    for (const std::string& name : c.names) {
      expected.push_back("--attach");
      expected.push_back(Path(name));
    }
    expected.push_back("ola@example.no");
    EXPECT_EQ(ComposerArguments(), expected) << "bfg " << c.bfg << ", chronex " << c.chronex;
  }
}

TEST_F(MailCommandTest, CancellingThePromptWritesAndSendsNothing) {
  prompt_.confirm = false;
  EXPECT_FALSE(RunMailCommand(context_));
  EXPECT_EQ(stored_, "old@example.no");
  EXPECT_TRUE(written_.empty());
  EXPECT_FALSE(fs::exists(folder_ / "mail.xls"));
  EXPECT_FALSE(fs::exists(Record()));
  EXPECT_FALSE(indicator_);
}

TEST_F(MailCommandTest, FailuresBeforeTheComposerKeepTheNewAddressAndSendNothing) {
  struct Case {
    const char* what;
    std::string typed;
    const char* missing_file;  // removed before the command, or nullptr
    bool composer_installed;
    std::string message;
  };
  const Case cases[] = {
      {"empty address", "", nullptr, true, "MAPI Error: (25) \"Invalid recipients\""},
      {"only blanks", "   ", nullptr, true, "MAPI Error: (25) \"Invalid recipients\""},
      {"no Chronex log yet", "a@b.no", "Chronex.log", true, "MAPI Error: (11) \"A specified attachment was not found\""},
      {"no BFG log yet", "a@b.no", "BFG_Test race_10.10.04.log", true,
       "MAPI Error: (11) \"A specified attachment was not found\""},
      // The attachments are checked before the address.
      {"missing log and empty address", "", "Chronex.log", true,
       "MAPI Error: (11) \"A specified attachment was not found\""},
      // No composer at all is told before anything else.
      {"no composer", "", "Chronex.log", false, "No mail program found (no-such-composer). The files are in FOLDER."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteText(folder_ / "Chronex.log", "chronex\r\n");
    WriteText(folder_ / "BFG_Test race_10.10.04.log", "bfg\r\n");
    if (c.missing_file != nullptr) fs::remove(folder_ / c.missing_file);
    XdgEmailComposer absent("no-such-composer");
    context_.composer = c.composer_installed ? static_cast<MailComposer*>(&composer_) : &absent;
    fs::remove(Record());
    prompt_.typed = c.typed;

    EXPECT_EQ(FailureOf(), Named(c.message));
    EXPECT_EQ(stored_, c.typed);
    EXPECT_FALSE(fs::exists(Record()));
    EXPECT_FALSE(indicator_);
    EXPECT_TRUE(fs::exists(folder_ / "mail.xls"));  // written before the checks, and kept
  }
}

TEST_F(MailCommandTest, AWorkbookThatCannotBeWrittenIsNeverMailedFromAnEarlierRun) {
  WriteText(folder_ / "mail.xls", "yesterday's data");
  context_.writeWorkbook = [](const std::string&) { throw Error("Cannot create file mail.xls"); };
  EXPECT_EQ(FailureOf(), "MAPI Error: (11) \"A specified attachment was not found\"");
  EXPECT_FALSE(fs::exists(folder_ / "mail.xls"));
  EXPECT_FALSE(fs::exists(Record()));
  // No message box for the export itself; the status line tells why.
  EXPECT_EQ(notes_, std::vector<std::string>{"mail.xls could not be written: Cannot create file mail.xls"});
}

TEST_F(MailCommandTest, ANamedPipeCalledMailXlsIsNeitherWrittenIntoNorRemoved) {
  ASSERT_EQ(::mkfifo(Path("mail.xls").c_str(), 0644), 0);
  EXPECT_EQ(FailureOf(), "MAPI Error: (11) \"A specified attachment was not found\"");
  EXPECT_TRUE(written_.empty());
  EXPECT_TRUE(fs::is_fifo(folder_ / "mail.xls"));
  EXPECT_EQ(notes_,
            std::vector<std::string>{"mail.xls could not be written: It is a named pipe (FIFO), not a regular file"});
}

TEST_F(MailCommandTest, ComposerOutcomesAndTheirMessages) {
  struct Case {
    int status;
    std::string message;
  };
  const Case cases[] = {
      {0, ""},  // the compose window is open; sending or discarding is the user's
      {1, "MAPI Error: (25) \"Invalid recipients\""},
      {2, "MAPI Error: (11) \"A specified attachment was not found\""},
      {3, "No mail program found (" + Path("composer.sh") + "). The files are in FOLDER."},
      {4, "MAPI Error: (2) \"General MAPI failure\""},
      {5, "MAPI Error: (12) \"Attachment open failure\""},
      {42, "MAPI Error: (2) \"General MAPI failure\""},
  };
  for (const Case& c : cases) {
    MakeComposerScript(c.status);
    EXPECT_EQ(FailureOf(), Named(c.message)) << "exit status " << c.status;
    EXPECT_FALSE(indicator_);
  }
}

// A composer that answers with a chosen Simple MAPI code.
class CodeComposer : public MailComposer {
 public:
  int code = 0;
  int calls = 0;
  MailMessage last;
  bool Available() const override { return true; }
  std::string ProgramName() const override { return "code-composer"; }
  int SendMail(const MailMessage& message) override {
    ++calls;
    last = message;
    return code;
  }
};

TEST_F(MailCommandTest, SentAndClosedWithoutSendingAreQuietEveryOtherCodeIsShown) {
  CodeComposer composer;
  context_.composer = &composer;
  struct Case {
    int code;
    std::string message;
  };
  const Case cases[] = {
      {0, ""},
      {1, ""},  // the user closed the compose window
      {3, "MAPI Error: (3) \"MAPI login failure\""},
      {7, "MAPI Error: (7) \"\""},  // a code without a text
      {21, "MAPI Error: (21) \"A recipient was specified ambiguously\""},
      {26, "MAPI Error: (26) \"Not supported\""},
      {1000, "MAPI Error: (1000) \"\""},
  };
  for (const Case& c : cases) {
    composer.code = c.code;
    EXPECT_EQ(FailureOf(), c.message) << "code " << c.code;
  }
  // The message itself: one "to" recipient, "SMTP:" address, empty body.
  ASSERT_EQ(composer.last.recipients.size(), 1u);
  EXPECT_EQ(composer.last.recipients[0].recipientClass, mapi::kRecipientClassTo);
  EXPECT_EQ(composer.last.recipients[0].name, "ola@example.no");
  EXPECT_EQ(composer.last.recipients[0].address, "SMTP:ola@example.no");
  EXPECT_EQ(composer.last.body, "");
}

TEST_F(MailCommandTest, NamesWithNorwegianLettersReachTheComposerAsUtf8) {
  context_.race = "L\xF8p p\xE5 \xC5s";  // "Løp på Ås" in Windows-1252
  context_.sub = "dag/1";
  WriteText(folder_ / "BFG_L\xC3\xB8p p\xC3\xA5 \xC3\x85s_dag-1.log", "bfg\r\n");
  prompt_.typed = "p\xE5l@example.no";
  ASSERT_TRUE(RunMailCommand(context_));
  const std::vector<std::string> args = ComposerArguments();
  ASSERT_EQ(args.size(), 10u);
  EXPECT_EQ(args[2], "L\xC3\xB8p p\xC3\xA5 \xC3\x85s dag/1");
  EXPECT_EQ(args[6], Path("BFG_L\xC3\xB8p p\xC3\xA5 \xC3\x85s_dag-1.log"));
  EXPECT_EQ(args[9], "p\xC3\xA5l@example.no");
}

TEST_F(MailCommandTest, TheComposerGetsNoInputAndNoneOfOurOpenFiles) {
  // A descriptor opened without close-on-exec, as a serial port might be. It is moved to a
  // number no shell takes for itself (dash keeps the script it reads at 10, bash at 255).
  const int opened = ::open(Path("Chronex.log").c_str(), O_RDONLY);
  ASSERT_GE(opened, 0);
  const int fd = ::fcntl(opened, F_DUPFD, 100);
  ::close(opened);
  ASSERT_GE(fd, 100);
  MakeComposerScript(0, "if [ -e /proc/$$/fd/" + std::to_string(fd) + " ]; then exit 9; fi\n" +
                            "if read line; then exit 8; fi\n");
  EXPECT_EQ(FailureOf(), "");
  ::close(fd);
}

TEST_F(MailCommandTest, AComposerThatStaysOpenHasTakenTheMessage) {
  // Some mail programs keep xdg-email running while their compose window is open.
  MakeComposerScript(4, "", "sleep 5\n");
  XdgEmailComposer patient((folder_ / "composer.sh").string(), std::chrono::milliseconds(200));
  context_.composer = &patient;
  EXPECT_EQ(FailureOf(), "");
  EXPECT_EQ(ComposerArguments().back(), "ola@example.no");
}

TEST(XdgEmailComposerTest, TheCommandComesFromTheEnvironmentOrIsXdgEmail) {
  ::unsetenv(kMailCommandVariable);
  EXPECT_EQ(XdgEmailComposer::CommandFromEnvironment(), "xdg-email");
  ::setenv(kMailCommandVariable, "", 1);
  EXPECT_EQ(XdgEmailComposer::CommandFromEnvironment(), "xdg-email");
  ::setenv(kMailCommandVariable, "/opt/fake/composer", 1);
  EXPECT_EQ(XdgEmailComposer::CommandFromEnvironment(), "/opt/fake/composer");
  ::unsetenv(kMailCommandVariable);
}

TEST(XdgEmailComposerTest, FindsProgramsOnThePathOnly) {
  EXPECT_EQ(FindProgram("sh").empty(), false);
  EXPECT_EQ(FindProgram("no-such-program-ln40"), "");
  EXPECT_EQ(FindProgram("/no/such/program"), "");
  EXPECT_EQ(FindProgram("/etc/passwd"), "");  // not executable
  EXPECT_EQ(FindProgram(""), "");
  EXPECT_FALSE(XdgEmailComposer("/no/such/program").Available());
}

}  // namespace
}  // namespace ln40
