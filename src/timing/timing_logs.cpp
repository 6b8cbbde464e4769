#include "timing/timing_logs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

#include "text/codepage.h"
#include "text/error.h"
#include "text/regular_file.h"

namespace ln40 {
namespace {

constexpr const char* kQuoteCommaQuote = "\",\"";
constexpr const char* kQuoteBarQuote = "\"|\"";

// The error text shown for a file: names and system texts turned into the system's text.
Error FileError(const char* failure, const std::string& path, const std::string& reason) {
  return Error(std::string(failure) + " \"" + Utf8ToCp1252(path) + "\". " + reason);
}

Error FileError(const char* failure, const std::string& path, int error) {
  return FileError(failure, path, Utf8ToCp1252(std::strerror(error)));
}

// Opens a log for appending, creating it when missing; throws Error with the system's text,
// or saying what is there when it is no regular file.
RegularFile OpenForAppend(const std::string& path, const char* failure) {
  const RegularFile file = OpenRegularFile(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
  if (file.other != 0) throw FileError(failure, path, NotARegularFileText(file.other));
  if (!file) throw FileError(failure, path, file.error);
  return file;
}

// Writes all of `bytes`; 0, or the errno of the write that failed.
int WriteAll(const LogFileCalls& calls, int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = calls.write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written < 0 ? errno : EIO;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
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
      ::close(OpenForAppend(path, "Cannot create file").fd);
    } catch (const Error& error) {
      dialog.ShowMessage(error.what());
    }
  }
}

void TTimingLogs::AppendLine(const std::string& path, const std::string& line) {
  try {
    const RegularFile file = OpenForAppend(path, "Cannot open file");
    // After a line that could not be taken back, the next begins on a line of its own.
    const bool fresh_line = file.size > 0 && unfinished_.contains(path);
    const std::string bytes = (fresh_line ? "\r\n" : "") + line + "\r\n";
    if (const int failure = WriteAll(calls_, file.fd, bytes)) {
      // Appends only ever go to the end, so the end before this one is where the line began.
      if (calls_.truncate(file.fd, file.size) != 0) unfinished_.insert(path);
      ::close(file.fd);
      throw FileError("Cannot write file", path, failure);
    }
    unfinished_.erase(path);
    // A file system that writes on close (NFS) may lose part of the line here.
    if (::close(file.fd) != 0) {
      const int failure = errno;
      unfinished_.insert(path);
      throw FileError("Cannot write file", path, failure);
    }
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
