#pragma once
// The layout of journal.sqlite: its tables, how a file is recognised as a journal (and of which
// version), and the statements both the writer (Journal) and the reader (JournalReader) use.
//
// A journal carries the application id kApplicationId and the layout version kVersion in its
// header (PRAGMA application_id, PRAGMA user_version). A later layout raises kVersion and
// upgrades older files when they are opened for writing, in one transaction, before use.
//
//   runs      id (rising), started, closed (NULL until the clean stop)
//   lines     sequence (rising over all runs, never reused: AUTOINCREMENT), run, arrival,
//             bytes (BLOB), kind ('message', 'fragment', 'repeat'), the station options one
//             column each (texts as BLOBs of Windows-1252 bytes), the two log sizes before the
//             line, handled, acknowledged
//   autosaves run, last_sequence (the last line appended before it), fingerprint (the 64 bits
//             read as a signed integer), saved
//
// Times are TDateTime values stored as REAL, so they read back exactly.
#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "journal/journal_line.h"
#include "journal/sqlite_handle.h"

namespace ln40::journal_format {

constexpr const char* kFileName = "journal.sqlite";
constexpr std::int32_t kApplicationId = 0x4C4E344A;  // "LN4J"
constexpr int kVersion = 1;

enum class Identity {
  Empty,          // no tables at all: a file just created, or of zero length
  Journal,        // a journal of this layout
  NewerJournal,   // a journal of a later layout
  OtherDatabase,  // an SQLite database of some other program
};
// Reads the header and the schema. Throws sqlite::Failure, with SQLITE_NOTADB for a file that
// is not a database at all. `version` receives the layout version found.
Identity Identify(sqlite3* db, int& version);

// Creates the tables in an empty file, in one transaction.
void CreateTables(sqlite3* db);

// Statements of the writer. Parameters in the order the binding functions expect.
constexpr const char* kInsertRun = "INSERT INTO runs(started) VALUES(?1)";
constexpr const char* kCloseRun = "UPDATE runs SET closed = ?1 WHERE id = ?2";
constexpr const char* kInsertAutosave =
    "INSERT INTO autosaves(run, last_sequence, fingerprint, saved) VALUES(?1, ?2, ?3, ?4)";
constexpr const char* kMarkDone = "UPDATE lines SET handled = 1, acknowledged = ?1 WHERE sequence = ?2";
extern const char* const kInsertLine;
// Binds `line` (its sequence and run ignored) as a line of `run` to kInsertLine.
void BindLine(sqlite::Statement& insert, const JournalLine& line, std::int64_t run);

// The fingerprint as stored: the same 64 bits as a signed integer.
std::int64_t StoredFingerprint(std::uint64_t fingerprint);

// Reading.
std::int64_t LastSequence(sqlite3* db);  // 0 when there are no lines
std::vector<JournalRun> Runs(sqlite3* db);
std::optional<JournalRun> LastRun(sqlite3* db);
std::optional<std::int64_t> AutosaveSequence(sqlite3* db, std::int64_t run, std::uint64_t fingerprint);
// The lines with a sequence above `after_sequence`, of `run` only when it is given, in order.
void VisitLines(sqlite3* db, std::optional<std::int64_t> run, std::int64_t after_sequence,
                const std::function<void(const JournalLine&)>& visit);

}  // namespace ln40::journal_format
