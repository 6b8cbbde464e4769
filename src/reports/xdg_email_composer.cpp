#include "reports/xdg_email_composer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "text/codepage.h"
#include "text/error.h"

namespace ln40 {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

constexpr int kChildFailed = -1;
constexpr int kStillRunning = -2;

// Runs `program` with `args` and waits at most `wait` for it to end. Returns its exit
// status, kChildFailed when it could not be started or was killed, or kStillRunning when it
// goes on (it is then reaped by a background thread). The child gets no input and none of
// our open files: an inherited serial port descriptor would keep the reader's port busy.
int RunChild(const std::string& program, const std::vector<std::string>& args, std::chrono::milliseconds wait) {
  // Everything the child needs is made before the fork; after it only async-signal-safe
  // calls are allowed, since other threads may hold locks.
  std::vector<std::string> strings{program};
  strings.insert(strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& text : strings) argv.push_back(text.data());
  argv.push_back(nullptr);
  const long open_max = ::sysconf(_SC_OPEN_MAX);
  const int max_fd = open_max > 0 && open_max < 65536 ? static_cast<int>(open_max) : 65536;
  const int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);

  const pid_t pid = ::fork();
  if (pid == 0) {
    sigset_t none;
    sigemptyset(&none);
    ::pthread_sigmask(SIG_SETMASK, &none, nullptr);
    if (null_fd >= 0) ::dup2(null_fd, STDIN_FILENO);
    if (::close_range(3, ~0U, 0) != 0) {
      for (int fd = 3; fd < max_fd; ++fd) ::close(fd);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (null_fd >= 0) ::close(null_fd);
  if (pid < 0) return kChildFailed;

  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : kChildFailed;
    if (done < 0 && errno != EINTR) return kStillRunning;  // reaped elsewhere: nothing to wait for
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::thread([pid] {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return kStillRunning;
}

}  // namespace

std::vector<std::string> XdgEmailArguments(const MailMessage& message) {
  std::vector<std::string> args{"--utf8", "--subject", Cp1252ToUtf8(message.subject)};
  for (const std::string& path : message.attachments) {
    args.push_back("--attach");
    args.push_back(path);
  }
  for (const MailRecipient& recipient : message.recipients) args.push_back(Cp1252ToUtf8(recipient.name));
  return args;
}

int MapiCodeFromXdgEmailStatus(int status) {
  switch (status) {
    case 0: return mapi::kSuccess;
    // Our own arguments are well formed; what xdg-email refuses is the address (one that
    // starts with "-", say).
    case 1: return mapi::kInvalidRecipients;
    case 2: return mapi::kAttachmentNotFound;
    case 5: return mapi::kAttachmentOpenFailure;
    default: return mapi::kFailure;
  }
}

std::string FindProgram(const std::string& command) {
  if (command.empty()) return {};
  if (command.find('/') != std::string::npos) return IsExecutableFile(command) ? command : std::string();
  const char* path = std::getenv("PATH");
  const std::string folders = path != nullptr && *path != '\0' ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t begin = 0;
  while (begin <= folders.size()) {
    size_t end = folders.find(':', begin);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(begin, end - begin);
    // An empty entry would mean the current folder, which is no place to pick a program from.
    if (!folder.empty()) {
      const std::string candidate = folder + "/" + command;
      if (IsExecutableFile(candidate)) return candidate;
    }
    begin = end + 1;
  }
  return {};
}

XdgEmailComposer::XdgEmailComposer(std::string command, std::chrono::milliseconds wait)
    : command_(std::move(command)), wait_(wait) {}

std::string XdgEmailComposer::CommandFromEnvironment() {
  const char* chosen = std::getenv(kMailCommandVariable);
  return chosen != nullptr && *chosen != '\0' ? chosen : kDefaultMailCommand;
}

bool XdgEmailComposer::Available() const { return !FindProgram(command_).empty(); }

int XdgEmailComposer::SendMail(const MailMessage& message) {
  const std::string program = FindProgram(command_);
  if (program.empty()) throw EMailProgramMissing(command_);
  const int status = RunChild(program, XdgEmailArguments(message), wait_);
  if (status == kStillRunning) return mapi::kSuccess;  // the mail program has the message
  if (status == kXdgEmailNoMailProgram) throw EMailProgramMissing(command_);
  if (status == kChildFailed) return mapi::kFailure;
  return MapiCodeFromXdgEmailStatus(status);
}

}  // namespace ln40
