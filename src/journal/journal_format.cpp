#include "journal/journal_format.h"

#include <bit>
#include <string>
#include <string_view>

namespace ln40::journal_format {

namespace {

constexpr const char* kCreateTables = R"sql(
BEGIN IMMEDIATE;
CREATE TABLE runs (
  id      INTEGER PRIMARY KEY AUTOINCREMENT,
  started REAL,
  closed  REAL
);
CREATE TABLE lines (
  sequence               INTEGER PRIMARY KEY AUTOINCREMENT,
  run                    INTEGER NOT NULL REFERENCES runs(id),
  arrival                REAL,
  bytes                  BLOB NOT NULL,
  kind                   TEXT NOT NULL CHECK (kind IN ('message', 'fragment', 'repeat')),
  nulltime               BLOB NOT NULL,
  race_name              BLOB NOT NULL,
  sub_name               BLOB NOT NULL,
  keep_milliseconds      INTEGER NOT NULL,
  autosave               INTEGER NOT NULL,
  clear_on_open          INTEGER NOT NULL,
  chronex_log            INTEGER NOT NULL,
  bfg_log                INTEGER NOT NULL,
  remove_leading_zeros   INTEGER NOT NULL,
  insert_unknown_runners INTEGER NOT NULL,
  chronex_size_before    INTEGER NOT NULL,
  bfg_size_before        INTEGER NOT NULL,
  handled                INTEGER NOT NULL,
  acknowledged           INTEGER NOT NULL
);
CREATE TABLE autosaves (
  id            INTEGER PRIMARY KEY,
  run           INTEGER NOT NULL REFERENCES runs(id),
  last_sequence INTEGER NOT NULL,
  fingerprint   INTEGER NOT NULL,
  saved         REAL
);
PRAGMA application_id = 1280193610;
PRAGMA user_version = 1;
COMMIT;
)sql";
static_assert(kApplicationId == 1280193610 && kVersion == 1, "kCreateTables writes both numbers");

// The columns of a line in the order ReadLine expects them.
constexpr const char* kLineColumns =
    "sequence, run, arrival, bytes, kind, nulltime, race_name, sub_name, keep_milliseconds, autosave, "
    "clear_on_open, chronex_log, bfg_log, remove_leading_zeros, insert_unknown_runners, "
    "chronex_size_before, bfg_size_before, handled, acknowledged";

std::string_view KindName(JournalLineKind kind) {
  switch (kind) {
    case JournalLineKind::Fragment:
      return "fragment";
    case JournalLineKind::Repeat:
      return "repeat";
    case JournalLineKind::Message:
      break;
  }
  return "message";
}

JournalLineKind KindOf(std::string_view name) {
  if (name == "fragment") return JournalLineKind::Fragment;
  if (name == "repeat") return JournalLineKind::Repeat;
  return JournalLineKind::Message;
}

JournalLine ReadLine(const sqlite::Statement& row) {
  JournalLine line;
  line.sequence = row.Int64(0);
  line.run = row.Int64(1);
  line.arrival = row.Real(2);
  line.bytes = row.Blob(3);
  line.kind = KindOf(row.Text(4));
  line.options.nulltime = row.Blob(5);
  line.options.raceName = row.Blob(6);
  line.options.subName = row.Blob(7);
  line.options.keepMilliseconds = row.Int64(8) != 0;
  line.options.autosave = row.Int64(9) != 0;
  line.options.clearOnOpen = row.Int64(10) != 0;
  line.options.chronexLog = row.Int64(11) != 0;
  line.options.bfgLog = row.Int64(12) != 0;
  line.options.removeLeadingZeros = row.Int64(13) != 0;
  line.options.insertUnknownRunners = row.Int64(14) != 0;
  line.chronexSizeBefore = row.Int64(15);
  line.bfgSizeBefore = row.Int64(16);
  line.handled = row.Int64(17) != 0;
  line.acknowledged = row.Int64(18) != 0;
  return line;
}

JournalRun ReadRun(const sqlite::Statement& row) {
  JournalRun run;
  run.id = row.Int64(0);
  run.started = row.Real(1);
  if (!row.IsNull(2)) run.closed = row.Real(2);
  return run;
}

}  // namespace

const char* const kInsertLine =
    "INSERT INTO lines(run, arrival, bytes, kind, nulltime, race_name, sub_name, keep_milliseconds, autosave, "
    "clear_on_open, chronex_log, bfg_log, remove_leading_zeros, insert_unknown_runners, chronex_size_before, "
    "bfg_size_before, handled, acknowledged) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18)";

Identity Identify(sqlite3* db, int& version) {
  std::int64_t application_id = 0;
  std::int64_t tables = 0;
  version = 0;
  sqlite::Statement read_id(db, "PRAGMA application_id");
  read_id.ForEachRow([&] { application_id = read_id.Int64(0); });
  sqlite::Statement read_version(db, "PRAGMA user_version");
  read_version.ForEachRow([&] { version = static_cast<int>(read_version.Int64(0)); });
  sqlite::Statement count(db, "SELECT count(*) FROM sqlite_schema");
  count.ForEachRow([&] { tables = count.Int64(0); });

  if (application_id == kApplicationId) return version > kVersion ? Identity::NewerJournal : Identity::Journal;
  if (application_id == 0 && version == 0 && tables == 0) return Identity::Empty;
  return Identity::OtherDatabase;
}

void CreateTables(sqlite3* db) {
  try {
    sqlite::Execute(db, kCreateTables);
  } catch (const sqlite::Failure&) {
    if (sqlite3_get_autocommit(db) == 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

void BindLine(sqlite::Statement& insert, const JournalLine& line, std::int64_t run) {
  const StationOptions& options = line.options;
  insert.BindInt64(1, run);
  insert.BindReal(2, line.arrival);
  insert.BindBlob(3, line.bytes);
  insert.BindText(4, KindName(line.kind));
  insert.BindBlob(5, options.nulltime);
  insert.BindBlob(6, options.raceName);
  insert.BindBlob(7, options.subName);
  insert.BindInt64(8, options.keepMilliseconds);
  insert.BindInt64(9, options.autosave);
  insert.BindInt64(10, options.clearOnOpen);
  insert.BindInt64(11, options.chronexLog);
  insert.BindInt64(12, options.bfgLog);
  insert.BindInt64(13, options.removeLeadingZeros);
  insert.BindInt64(14, options.insertUnknownRunners);
  insert.BindInt64(15, line.chronexSizeBefore);
  insert.BindInt64(16, line.bfgSizeBefore);
  insert.BindInt64(17, line.handled);
  insert.BindInt64(18, line.acknowledged);
}

std::int64_t StoredFingerprint(std::uint64_t fingerprint) { return std::bit_cast<std::int64_t>(fingerprint); }

std::int64_t LastSequence(sqlite3* db) {
  std::int64_t last = 0;
  sqlite::Statement query(db, "SELECT max(sequence) FROM lines");
  query.ForEachRow([&] { last = query.Int64(0); });
  return last;
}

std::vector<JournalRun> Runs(sqlite3* db) {
  std::vector<JournalRun> runs;
  sqlite::Statement query(db, "SELECT id, started, closed FROM runs ORDER BY id");
  query.ForEachRow([&] { runs.push_back(ReadRun(query)); });
  return runs;
}

std::optional<JournalRun> LastRun(sqlite3* db) {
  std::optional<JournalRun> last;
  sqlite::Statement query(db, "SELECT id, started, closed FROM runs ORDER BY id DESC LIMIT 1");
  query.ForEachRow([&] { last = ReadRun(query); });
  return last;
}

std::optional<std::int64_t> AutosaveSequence(sqlite3* db, std::int64_t run, std::uint64_t fingerprint) {
  std::optional<std::int64_t> sequence;
  // The latest, should the same bytes have been saved twice.
  sqlite::Statement query(db,
                          "SELECT last_sequence FROM autosaves WHERE run = ?1 AND fingerprint = ?2 "
                          "ORDER BY id DESC LIMIT 1");
  query.BindInt64(1, run);
  query.BindInt64(2, StoredFingerprint(fingerprint));
  query.ForEachRow([&] { sequence = query.Int64(0); });
  return sequence;
}

void VisitLines(sqlite3* db, std::optional<std::int64_t> run, std::int64_t after_sequence,
                const std::function<void(const JournalLine&)>& visit) {
  // The lines of a run lie together in sequence order, so a scan of the primary key from
  // after_sequence finds them without an index that every append would have to update.
  std::string sql = std::string("SELECT ") + kLineColumns + " FROM lines WHERE sequence > ?1";
  if (run) sql += " AND run = ?2";
  sql += " ORDER BY sequence";
  sqlite::Statement query(db, sql);
  query.BindInt64(1, after_sequence);
  if (run) query.BindInt64(2, *run);
  query.ForEachRow([&] { visit(ReadLine(query)); });
}

}  // namespace ln40::journal_format
