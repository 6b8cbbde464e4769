#pragma once
// The two log files other timing programs read while the race runs: "Chronex.log" (one
// comma-separated line per message) and "BFG_<race>_<sub>.log" (one bar-separated line per
// message), both in the program's folder. Lines are Windows-1252 bytes ended by CR LF and
// are only ever appended; each append opens and closes its file, so readers always see
// whole lines. A line is in a log whole or not at all: an append that fails half-way (a
// full disk) is cut back to where the file ended before it, and where even that fails the
// next line starts on a line of its own. A log is only ever a regular file: a named pipe,
// a folder or a device under its name is reported and left alone, never waited on.
#include <sys/types.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <string>

#include "timing/message_handler.h"
#include "timing/reader_message.h"

namespace ln40 {

inline constexpr const char* kChronexLogName = "Chronex.log";

// The Chronex line of kinds A, B, C, D and F; the empty text for any other kind.
std::string BuildChronexLine(const ReaderMessage& message);

// The BFG line: race name, start number, sub name, time of day; fields are not escaped.
std::string BuildBfgLine(const ReaderMessage& message, const std::string& race, const std::string& sub);

// "BFG_" + race + "_" + sub + ".log". A "/" cannot be part of a file name here, so it
// becomes "-" in the name (the lines keep the names as typed).
std::string BfgLogName(const std::string& race, const std::string& sub);

// The two calls an append makes on an open log, replaceable so that a test can fill the
// disk half-way through a line (a short write, then ENOSPC) or make the cut back fail.
struct LogFileCalls {
  std::function<ssize_t(int fd, const void* bytes, size_t count)> write = ::write;
  std::function<int(int fd, off_t length)> truncate = ::ftruncate;
};

class TTimingLogs {
 public:
  // `folder` is the program's folder as a file-system (UTF-8) path.
  // `report` receives the text of a failed append, for the window's status line: a modal
  // box would stall the reception of further messages.
  TTimingLogs(std::string folder, std::function<void(const std::string&)> report);

  // Before the port opens: creates each missing log as an empty file, the Chronex log first.
  // A file that cannot be created is reported in a message box; the port opens all the same.
  void CreateLogFiles(const std::string& race, const std::string& sub, MessageDialog& dialog);

  // Append one line and CR LF. Each append stands alone: a log that is missing is created,
  // and a failure is reported and never stops the handling of the message. What a failed
  // append wrote of its line is taken back.
  void AppendChronexLine(const ReaderMessage& message);
  void AppendBfgLine(const ReaderMessage& message, const std::string& race, const std::string& sub);

  // File-system (UTF-8) paths of the logs.
  std::string ChronexPath() const;
  std::string BfgPath(const std::string& race, const std::string& sub) const;

  void SetFileCalls(LogFileCalls calls) { calls_ = std::move(calls); }

 private:
  void AppendLine(const std::string& path, const std::string& line);

  std::string folder_;
  std::function<void(const std::string&)> report_;
  LogFileCalls calls_;
  // Logs that end in part of a line a failed append could not take back.
  std::set<std::string> unfinished_;
};

}  // namespace ln40
