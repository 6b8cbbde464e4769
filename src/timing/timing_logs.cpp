#include "timing/timing_logs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/codepage.h"
#include "text/error.h"

namespace ln40 {
namespace {

constexpr const char* kQuoteCommaQuote = "\",\"";
constexpr const char* kQuoteBarQuote = "\"|\"";

// Opens a file for appending, creating it when missing; throws Error with the system's text.
// The error text shown for a file: names and system texts turned into the system's text.
Error FileError(const char* failure, const std::string& path, int error) {
  return Error(std::string(failure) + " \"" + Utf8ToCp1252(path) + "\". " + Utf8ToCp1252(std::strerror(error)));
}

int OpenForAppend(const std::string& path, const char* failure) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw FileError(failure, path, errno);
  return fd;
}

void WriteAll(int fd, const std::string& bytes, const std::string& path) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw FileError("Cannot write file", path, written < 0 ? errno : EIO);
    done += static_cast<size_t>(written);
  }
}

}  // namespace

std::string BuildChronexLine(const ReaderMessage& message) {
  if (message.Kind.size() != 1 || std::string("ABCDF").find(message.Kind[0]) == std::string::npos) return {};
  return "\"" + message.Kind + kQuoteCommaQuote + message.Char2 + kQuoteCommaQuote + message.Char3 +
         kQuoteCommaQuote + message.StartNumber + kQuoteCommaQuote + message.PcStamp + kQuoteCommaQuote +
         message.ReaderStamp + "\",00000,0000,0000";
}

std::string BuildBfgLine(const ReaderMessage& message, const std::string& race, const std::string& sub) {
  return "\"" + race + kQuoteBarQuote + message.StartNumber + kQuoteBarQuote + sub + kQuoteBarQuote +
         message.TimeText + kQuoteBarQuote + "\"|";
}

std::string BfgLogName(const std::string& race, const std::string& sub) {
  std::string name = "BFG_" + race + "_" + sub + ".log";
  for (char& c : name) {
    if (c == '/') c = '-';
  }
  return name;
}

TTimingLogs::TTimingLogs(std::string folder, std::function<void(const std::string&)> report)
    : folder_(std::move(folder)), report_(std::move(report)) {
  if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

std::string TTimingLogs::ChronexPath() const { return folder_ + kChronexLogName; }

std::string TTimingLogs::BfgPath(const std::string& race, const std::string& sub) const {
  return folder_ + Cp1252ToUtf8(BfgLogName(race, sub));
}

void TTimingLogs::CreateLogFiles(const std::string& race, const std::string& sub, MessageDialog& dialog) {
  for (const std::string& path : {ChronexPath(), BfgPath(race, sub)}) {
    try {
      ::close(OpenForAppend(path, "Cannot create file"));
    } catch (const Error& error) {
      dialog.ShowMessage(error.what());
    }
  }
}

void TTimingLogs::AppendLine(const std::string& path, const std::string& line) {
  try {
    const int fd = OpenForAppend(path, "Cannot open file");
    try {
      WriteAll(fd, line + "\r\n", path);
    } catch (...) {
      ::close(fd);
      throw;
    }
    if (::close(fd) != 0) throw FileError("Cannot write file", path, errno);
  } catch (const Error& error) {
    if (report_) report_(error.what());
  }
}

void TTimingLogs::AppendChronexLine(const ReaderMessage& message) {
  AppendLine(ChronexPath(), BuildChronexLine(message));
}

void TTimingLogs::AppendBfgLine(const ReaderMessage& message, const std::string& race, const std::string& sub) {
  AppendLine(BfgPath(race, sub), BuildBfgLine(message, race, sub));
}

}  // namespace ln40
