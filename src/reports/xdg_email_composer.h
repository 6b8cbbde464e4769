#pragma once
// The desktop's mail composer through `xdg-email`: the message becomes the command line
// `xdg-email --utf8 --subject SUBJECT --attach FILE... ADDRESS`, and xdg-email opens the
// user's mail program with it for editing. The environment variable LN40UTIL_MAIL_COMMAND
// names another program taking the same arguments (tests record them with a script).
//
// The command runs as a child process with no input; the event thread waits for it a few
// seconds at most. A mail program that keeps xdg-email in the foreground while its window
// is open has taken the message by then; the child is reaped in the background.
#include <chrono>
#include <string>
#include <vector>

#include "reports/mail_composer.h"

namespace ln40 {

inline constexpr const char* kMailCommandVariable = "LN40UTIL_MAIL_COMMAND";
inline constexpr const char* kDefaultMailCommand = "xdg-email";

// The arguments after the program's name, as above: the subject and the address converted
// from Windows-1252 to UTF-8, one --attach per file in order, the address last. The body is
// empty and is left out.
std::vector<std::string> XdgEmailArguments(const MailMessage& message);

// The Simple MAPI code for an exit status of xdg-email (0 taken, 1 a recipient xdg-email
// refused, 2 a missing file, 4 a failed hand-over, 5 an unreadable file). Status 3 (no mail
// program found) has no code: the composer reports it as a missing client.
int MapiCodeFromXdgEmailStatus(int status);
inline constexpr int kXdgEmailNoMailProgram = 3;

// The program file `command` names: itself when it holds a "/", else the first executable
// of that name in $PATH. Empty when there is none.
std::string FindProgram(const std::string& command);

class XdgEmailComposer : public MailComposer {
 public:
  // `command`: a program path or a name looked up in $PATH.
  explicit XdgEmailComposer(std::string command, std::chrono::milliseconds wait = std::chrono::seconds(5));

  // LN40UTIL_MAIL_COMMAND when set and not empty, else xdg-email.
  static std::string CommandFromEnvironment();

  bool Available() const override;
  std::string ProgramName() const override { return command_; }
  int SendMail(const MailMessage& message) override;

 private:
  std::string command_;
  std::chrono::milliseconds wait_;
};

}  // namespace ln40
