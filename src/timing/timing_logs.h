#pragma once
// The two log files other timing programs read while the race runs: "Chronex.log" (one
// comma-separated line per message) and "BFG_<race>_<sub>.log" (one bar-separated line per
// message), both in the program's folder. Lines are Windows-1252 bytes ended by CR LF and
// are only ever appended; each append opens and closes its file, so readers always see
// whole lines.
#include <functional>
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
  // and a failure is reported and never stops the handling of the message.
  void AppendChronexLine(const ReaderMessage& message);
  void AppendBfgLine(const ReaderMessage& message, const std::string& race, const std::string& sub);

  // File-system (UTF-8) paths of the logs.
  std::string ChronexPath() const;
  std::string BfgPath(const std::string& race, const std::string& sub) const;

 private:
  void AppendLine(const std::string& path, const std::string& line);

  std::string folder_;
  std::function<void(const std::string&)> report_;
};

}  // namespace ln40
