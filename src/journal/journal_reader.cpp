#include "journal/journal_reader.h"

#include <unistd.h>

#include "journal/journal_format.h"
#include "text/codepage.h"
#include "text/error.h"

namespace ln40 {

namespace {

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

[[noreturn]] void CannotRead(const std::string& path, const sqlite::Failure& failure) {
  if (failure.primary_code() == SQLITE_NOTADB) {
    throw Error(Utf8ToCp1252(path) + " is not a journal of this program (" + failure.what() + ")");
  }
  throw Error("The journal " + Utf8ToCp1252(path) + " cannot be read: " + failure.what());
}

}  // namespace

JournalReader::JournalReader(const std::string& folder) {
  const std::string shown = folder.empty() ? "." : WithoutTrailingSlash(folder);
  path_ = (shown == "/" ? shown : shown + "/") + journal_format::kFileName;
  if (::access(path_.c_str(), F_OK) != 0) {
    throw Error("No journal in " + Utf8ToCp1252(shown) + " (" + journal_format::kFileName + ")");
  }
  try {
    // Opened for writing without creating anything, yet never writing (query_only): a
    // read-only connection would leave an empty log and index beside a journal closed
    // cleanly, where this one, as the last connection, tidies them away. SQLite falls back to
    // reading only where the folder cannot be written.
    db_ = sqlite::Open(path_, SQLITE_OPEN_READWRITE);
    sqlite::Execute(db_.get(), "PRAGMA query_only = 1");
    int version = 0;
    switch (journal_format::Identify(db_.get(), version)) {
      case journal_format::Identity::Journal:
        return;
      case journal_format::Identity::NewerJournal:
        throw Error(Utf8ToCp1252(path_) + " is a journal of a newer version of this program (layout " +
                    std::to_string(version) + ")");
      case journal_format::Identity::Empty:
      case journal_format::Identity::OtherDatabase:
        break;
    }
    throw Error(Utf8ToCp1252(path_) + " is not a journal of this program");
  } catch (const sqlite::Failure& failure) {
    CannotRead(path_, failure);
  }
}

std::vector<JournalRun> JournalReader::Runs() {
  try {
    return journal_format::Runs(db_.get());
  } catch (const sqlite::Failure& failure) {
    CannotRead(path_, failure);
  }
}

std::optional<std::int64_t> JournalReader::AutosaveSequence(std::int64_t run, std::uint64_t fingerprint) {
  try {
    return journal_format::AutosaveSequence(db_.get(), run, fingerprint);
  } catch (const sqlite::Failure& failure) {
    CannotRead(path_, failure);
  }
}

std::vector<JournalLine> JournalReader::LinesOfRun(std::int64_t run, std::int64_t after_sequence) {
  std::vector<JournalLine> lines;
  try {
    journal_format::VisitLines(db_.get(), run, after_sequence, [&](const JournalLine& line) { lines.push_back(line); });
  } catch (const sqlite::Failure& failure) {
    CannotRead(path_, failure);
  }
  return lines;
}

void JournalReader::ForEachLine(const std::function<void(const JournalLine&)>& visit) {
  try {
    journal_format::VisitLines(db_.get(), std::nullopt, 0, visit);
  } catch (const sqlite::Failure& failure) {
    CannotRead(path_, failure);
  }
}

}  // namespace ln40
