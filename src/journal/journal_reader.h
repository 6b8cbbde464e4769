#pragma once
// Reads an existing journal without changing it: for the listing of a race day's lines and for
// inspection while (or after) a station writes it. Nothing is created; a missing, foreign or
// newer journal is refused when it is opened. Messages are Windows-1252 texts. Not thread-safe.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "journal/journal_line.h"
#include "journal/sqlite_handle.h"

namespace ln40 {

class JournalReader {
 public:
  // Opens journal.sqlite in `folder` (UTF-8, with or without a trailing "/") for reading.
  // Throws ln40::Error: "No journal in FOLDER (journal.sqlite)" when there is none, and a
  // message naming the file when it is not a journal of this program or cannot be read.
  explicit JournalReader(const std::string& folder);

  const std::string& Path() const { return path_; }
  // The following throw ln40::Error when the file cannot be read.
  std::vector<JournalRun> Runs();
  // The last line appended before the autosave with `fingerprint` of `run`.
  std::optional<std::int64_t> AutosaveSequence(std::int64_t run, std::uint64_t fingerprint);
  // The lines of `run` after `after_sequence`, in order.
  std::vector<JournalLine> LinesOfRun(std::int64_t run, std::int64_t after_sequence);
  // Every line of every run, in order.
  void ForEachLine(const std::function<void(const JournalLine&)>& visit);

 private:
  std::string path_;
  sqlite::Connection db_;
};

}  // namespace ln40
