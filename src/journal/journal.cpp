#include "journal/journal.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "journal/journal_format.h"
#include "journal/sqlite_handle.h"
#include "text/codepage.h"
#include "text/file_replace.h"
#include "text/regular_file.h"

namespace ln40 {

namespace {

// How long a write waits for another program that holds the file (a second station on the
// same folder) before the line is kept in memory instead.
constexpr int kBusyMilliseconds = 1000;

// The write-ahead log is folded into the file once it holds this many pages (SQLite's own
// default). The journal does this itself, after a line is done, rather than letting SQLite do
// it inside the commit of an append, between a line's arrival and its acknowledgement. Should
// no line ever be marked done, Append folds it at four times the size.
constexpr int kFoldLogPages = 1000;
constexpr int kFoldLogPagesOnAppend = 4 * kFoldLogPages;

template <class... Visitors>
struct Overloaded : Visitors... {
  using Visitors::operator()...;
};

std::string PathIn(const std::string& folder) {
  if (folder.empty()) return journal_format::kFileName;
  if (folder.back() == '/') return folder + journal_format::kFileName;
  return folder + "/" + journal_format::kFileName;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The errno that keeps `path` (or, when it does not exist, a new file in its folder) from
// being written; 0 when both look writable.
int WriteErrorAt(const std::string& path) {
  if (::access(path.c_str(), F_OK) == 0) return ::access(path.c_str(), W_OK) == 0 ? 0 : errno;
  return ::access(FolderOf(path).c_str(), W_OK) == 0 ? 0 : errno;
}

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool known = false;
};

FileIdentity IdentityOf(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  return {status.st_dev, status.st_ino, true};
}

// sqlite3_wal_hook: after each commit, the number of pages in the log. Installing it turns
// SQLite's automatic checkpoints off.
int NoteLogPages(void* pages, sqlite3*, const char*, int count) {
  *static_cast<int*>(pages) = count;
  return SQLITE_OK;
}

}  // namespace

// The open file and the statements prepared on it once, for the append path.
struct Journal::OpenFile {
  explicit OpenFile(sqlite::Connection connection)
      : db(std::move(connection)),
        begin(db.get(), "BEGIN IMMEDIATE"),
        commit(db.get(), "COMMIT"),
        rollback(db.get(), "ROLLBACK"),
        insert_run(db.get(), journal_format::kInsertRun),
        close_run(db.get(), journal_format::kCloseRun),
        insert_line(db.get(), journal_format::kInsertLine),
        mark_done(db.get(), journal_format::kMarkDone),
        insert_autosave(db.get(), journal_format::kInsertAutosave),
        sync_normal(db.get(), "PRAGMA synchronous = NORMAL"),
        sync_full(db.get(), "PRAGMA synchronous = FULL") {}

  sqlite3* handle() const { return db.get(); }

  sqlite::Connection db;  // first, so it is closed after the statements are finalized
  sqlite::Statement begin, commit, rollback;
  sqlite::Statement insert_run, close_run, insert_line, mark_done, insert_autosave;
  sqlite::Statement sync_normal, sync_full;
  FileIdentity log;    // the write-ahead log this connection writes to
  int log_pages = 0;  // pages in it after the last commit
};

namespace {

std::string ReasonText(int error_number) {
  std::string text = PlatformErrorText(error_number);
  while (!text.empty() && (text.back() == '.' || text.back() == '\n')) text.pop_back();
  return text;
}

// SQLite's message as a sentence part: "disk I/O error" -> "Disk I/O error".
std::string SqliteReason(const sqlite::Failure& failure) {
  std::string text = failure.what();
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

std::string WhenWritable(int error_number) {
  switch (error_number) {
    case ENOSPC:
    case EDQUOT:
      return "when there is room again";
    case EROFS:
    case EACCES:
    case EPERM:
      return "when the folder can be written again";
    default:
      return "when the journal can be written again";
  }
}

// "The journal X cannot be written: No space left on device. Times are kept in memory and
// written when there is room again."
std::string CannotUse(const std::string& path, const char* verb, const std::string& reason, int error_number) {
  return "The journal " + Utf8ToCp1252(path) + " cannot be " + verb + ": " + reason +
         ". Times are kept in memory and written " + WhenWritable(error_number) + ".";
}

std::string LeftAlone(const std::string& path, const std::string& what) {
  return "The file " + Utf8ToCp1252(path) + " " + what +
         ". It is left as it is. Times are kept in memory; move the file away and they are written to a new journal.";
}

// The problem a failed SQLite call on the journal means to the user.
std::string ProblemOf(const sqlite::Failure& failure, const std::string& path, const char* verb) {
  switch (failure.primary_code()) {
    case SQLITE_NOTADB:
      return LeftAlone(path, "is not a journal of this program (" + std::string(failure.what()) + ")");
    case SQLITE_CORRUPT:
      return LeftAlone(path, "is a damaged journal (" + std::string(failure.what()) + ")");
    case SQLITE_FULL:
      return CannotUse(path, verb, ReasonText(ENOSPC), ENOSPC);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return CannotUse(path, verb, "Another program holds it", 0);
    default:
      break;
  }
  // A failed open keeps the errno of SQLite's last fallback (opening to read only): what keeps
  // the file from being written is asked of the file system first.
  int error_number = WriteErrorAt(path);
  if (error_number == 0) error_number = failure.system_error();
  if (error_number != 0) return CannotUse(path, verb, ReasonText(error_number), error_number);
  return CannotUse(path, verb, SqliteReason(failure), 0);
}

}  // namespace

Journal::Journal(std::string folder) : folder_(std::move(folder)), path_(PathIn(folder_)) { Connect(); }

Journal::~Journal() { Flush(); }

Journal::RunStart Journal::Start(TDateTime now) {
  in_run_ = true;
  if (pending_.empty() && Connect()) {
    try {
      const std::optional<JournalRun> last = journal_format::LastRun(file_->handle());
      if (last && !last->closed) {
        run_ = last->id;
        return {run_, true};
      }
    } catch (const sqlite::Failure& failure) {
      problem_ = ProblemOf(failure, path_, "read");
    }
  }
  pending_.emplace_back(PendingRunStart{now});
  Flush();
  return {run_, false};
}

LineHandle Journal::Append(JournalLine line) {
  if (!in_run_) {
    pending_.emplace_back(PendingRunStart{line.arrival});
    in_run_ = true;
  }
  line.sequence = 0;
  line.run = 0;
  sequences_.push_back(0);
  const LineHandle handle{sequences_.size()};
  pending_.emplace_back(PendingLine{handle.id, std::move(line)});
  if (Flush()) FoldLog(kFoldLogPagesOnAppend);
  return handle;
}

void Journal::MarkDone(LineHandle handle, bool acknowledged) {
  if (handle.id == 0 || handle.id > sequences_.size()) return;
  const std::int64_t sequence = sequences_[handle.id - 1];
  if (sequence == 0) {
    // Still in memory: the marks go into the file with the line. Usually the newest.
    for (auto item = pending_.rbegin(); item != pending_.rend(); ++item) {
      if (auto* pending = std::get_if<PendingLine>(&*item); pending != nullptr && pending->handle == handle.id) {
        pending->line.handled = true;
        pending->line.acknowledged = acknowledged;
        return;
      }
    }
    return;
  }
  if (!pending_.empty() || !file_) {
    pending_.emplace_back(PendingDone{handle.id, acknowledged});
    return;
  }
  // Without waiting for the disk: the write-ahead log keeps the update across a crash of the
  // program, and the next fully synchronous commit flushes it with its own.
  OpenFile& file = *file_;
  try {
    file.sync_normal.Run();
    file.mark_done.BindInt64(1, acknowledged);
    file.mark_done.BindInt64(2, sequence);
    file.mark_done.Run();
    file.sync_full.Run();
    FoldLog(kFoldLogPages);
  } catch (const sqlite::Failure& failure) {
    // The setting cannot change inside a transaction: end it before putting it back.
    if (sqlite3_get_autocommit(file.handle()) == 0) sqlite3_exec(file.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_exec(file.handle(), "PRAGMA synchronous = FULL", nullptr, nullptr, nullptr);
    pending_.emplace_back(PendingDone{handle.id, acknowledged});
    problem_ = ProblemOf(failure, path_, "written");
  }
}

void Journal::RecordAutosave(std::uint64_t fingerprint, TDateTime now) {
  pending_.emplace_back(PendingAutosave{fingerprint, now});
  if (Flush()) FoldLog(kFoldLogPages);
}

void Journal::CloseRun(TDateTime now) {
  if (!in_run_) return;
  pending_.emplace_back(PendingRunClose{now});
  in_run_ = false;
  if (Flush()) FoldLog(kFoldLogPages);
}

bool Journal::Retry() {
  if (pending_.empty()) {
    if (Connect()) problem_.clear();
    return true;
  }
  return Flush();
}

std::size_t Journal::PendingCount() const {
  return static_cast<std::size_t>(std::count_if(
      pending_.begin(), pending_.end(), [](const Pending& item) { return std::holds_alternative<PendingLine>(item); }));
}

std::vector<std::string> Journal::TakeNotices() { return std::exchange(notices_, {}); }

std::optional<std::int64_t> Journal::SequenceOf(LineHandle line) const {
  if (line.id == 0 || line.id > sequences_.size() || sequences_[line.id - 1] == 0) return std::nullopt;
  return sequences_[line.id - 1];
}

std::optional<std::int64_t> Journal::AutosaveSequence(std::int64_t run, std::uint64_t fingerprint) {
  if (!file_) return std::nullopt;
  try {
    return journal_format::AutosaveSequence(file_->handle(), run, fingerprint);
  } catch (const sqlite::Failure& failure) {
    problem_ = ProblemOf(failure, path_, "read");
    return std::nullopt;
  }
}

std::vector<JournalLine> Journal::LinesOfRun(std::int64_t run, std::int64_t after_sequence) {
  std::vector<JournalLine> lines;
  if (!file_) return lines;
  try {
    journal_format::VisitLines(file_->handle(), run, after_sequence,
                               [&](const JournalLine& line) { lines.push_back(line); });
  } catch (const sqlite::Failure& failure) {
    problem_ = ProblemOf(failure, path_, "read");
  }
  return lines;
}

void Journal::ForEachLine(const std::function<void(const JournalLine&)>& visit) {
  if (!file_) return;
  try {
    journal_format::VisitLines(file_->handle(), std::nullopt, 0, visit);
  } catch (const sqlite::Failure& failure) {
    problem_ = ProblemOf(failure, path_, "read");
  }
}

Journal::StorageModes Journal::Storage() {
  StorageModes modes;
  if (!file_) return modes;
  try {
    sqlite::Statement journal_mode(file_->handle(), "PRAGMA journal_mode");
    journal_mode.ForEachRow([&] { modes.journalMode = journal_mode.Text(0); });
    sqlite::Statement synchronous(file_->handle(), "PRAGMA synchronous");
    synchronous.ForEachRow([&] {
      static const char* const kNames[] = {"off", "normal", "full", "extra"};
      const std::int64_t level = synchronous.Int64(0);
      modes.synchronous = level >= 0 && level <= 3 ? kNames[level] : std::to_string(level);
    });
  } catch (const sqlite::Failure& failure) {
    problem_ = ProblemOf(failure, path_, "read");
  }
  return modes;
}

bool Journal::Connect() {
  if (file_) {
    int file_moved = 0;
    sqlite3_file_control(file_->handle(), "main", SQLITE_FCNTL_HAS_MOVED, &file_moved);
    const FileIdentity log = IdentityOf(path_ + "-wal");
    const bool log_moved =
        file_->log.known && (!log.known || log.device != file_->log.device || log.inode != file_->log.inode);
    if ((file_moved != 0 || log_moved) && !PutBack(file_moved == 0)) return false;
  }
  return file_ != nullptr || Open();
}

bool Journal::Open() {
  // SQLite opens its files as they come: a named pipe would hold it in a read for ever, a
  // device would be written into. Each file is looked at first, the write-ahead log and the
  // index beside the journal too.
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    const std::string file = path_ + suffix;
    if (const mode_t other = OtherThanRegularFileAt(file); other != 0) {
      problem_ = LeftAlone(file, "is " + FileKindText(other) + ", not a regular file");
      return false;
    }
  }
  try {
    sqlite::Connection db = sqlite::Open(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    // SQLite falls back to reading only when the file cannot be written.
    if (sqlite3_db_readonly(db.get(), "main") == 1) throw sqlite::Failure(SQLITE_READONLY, 0, "read-only");
    sqlite3_busy_timeout(db.get(), kBusyMilliseconds);
    int version = 0;
    const journal_format::Identity identity = journal_format::Identify(db.get(), version);
    if (identity == journal_format::Identity::OtherDatabase) {
      problem_ = LeftAlone(path_, "is a database of another program, not a journal");
      return false;
    }
    if (identity == journal_format::Identity::NewerJournal) {
      problem_ =
          LeftAlone(path_, "is a journal of a newer version of this program (layout " + std::to_string(version) + ")");
      return false;
    }
    sqlite::Execute(db.get(), "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL");
    if (identity == journal_format::Identity::Empty) journal_format::CreateTables(db.get());
    auto file = std::make_unique<OpenFile>(std::move(db));
    sqlite3_wal_hook(file->handle(), &NoteLogPages, &file->log_pages);
    last_sequence_ = journal_format::LastSequence(file->handle());
    file->log = IdentityOf(path_ + "-wal");
    file_ = std::move(file);
    return true;
  } catch (const sqlite::Failure& failure) {
    problem_ = ProblemOf(failure, path_, "opened");
    return false;
  }
}

// The file (or only its write-ahead log) was removed or replaced while open. The connection
// still reads the complete journal, so a copy of it is written beside the path and renamed
// into place, and the journal goes on with the copy. A file that someone else put at the path
// is never replaced.
bool Journal::PutBack(bool file_in_place) {
  if (!file_in_place && ::access(path_.c_str(), F_OK) == 0) {
    const mode_t other = OtherThanRegularFileAt(path_);
    problem_ = "The journal " + Utf8ToCp1252(path_) + " was replaced by " +
               (other != 0 ? FileKindText(other) : std::string("another file")) +
               " while in use. That file is left as it is. Times are kept in memory; move it away and the journal "
               "is written again complete.";
    return false;
  }
  const std::string copy_path = TemporaryNameBeside(path_);
  auto remove_copy = [&] {
    ::unlink(copy_path.c_str());
    ::unlink((copy_path + "-journal").c_str());
  };
  try {
    sqlite::Connection copy = sqlite::Open(copy_path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    sqlite::Execute(copy.get(), "PRAGMA synchronous = FULL");
    sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", file_->handle(), "main");
    if (backup == nullptr) throw sqlite::Failure::Of(copy.get(), sqlite3_extended_errcode(copy.get()));
    const int stepped = sqlite3_backup_step(backup, -1);
    sqlite3_backup_finish(backup);
    if (stepped != SQLITE_DONE) throw sqlite::Failure::Of(copy.get(), stepped);
  } catch (const sqlite::Failure& failure) {
    remove_copy();
    // The copy is made in the journal's folder: what keeps it from being written keeps the journal.
    problem_ = ProblemOf(failure, path_, "written again");
    return false;
  }
  // What is left at the path belongs to the connection being replaced; a new connection must
  // not take the old log for its own.
  ::unlink((path_ + "-wal").c_str());
  ::unlink((path_ + "-shm").c_str());
  const int renamed = file_in_place
                          ? ::rename(copy_path.c_str(), path_.c_str())
                          : ::renameat2(AT_FDCWD, copy_path.c_str(), AT_FDCWD, path_.c_str(), RENAME_NOREPLACE);
  if (renamed != 0) {
    const int error_number = errno;
    remove_copy();
    problem_ = CannotUse(path_, "written again", ReasonText(error_number), error_number);
    return false;
  }
  SyncFolderOf(path_);
  file_.reset();
  notices_.push_back("The journal " + Utf8ToCp1252(path_) +
                     " was removed while in use. It was written again complete.");
  return Open();
}

void Journal::FoldLog(int at_pages) {
  if (!file_ || file_->log_pages < at_pages) return;
  // Passive: never waits for a reader. What it cannot fold now is folded next time.
  sqlite3_wal_checkpoint_v2(file_->handle(), "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  file_->log_pages = 0;
}

bool Journal::Flush() {
  if (pending_.empty()) return true;
  if (!Connect()) return false;
  try {
    WritePending();
  } catch (const sqlite::Failure& failure) {
    if (sqlite3_get_autocommit(file_->handle()) == 0) {
      try {
        file_->rollback.Run();
      } catch (const sqlite::Failure&) {
        // SQLite rolls back itself when it cannot: nothing of the transaction is kept.
      }
    }
    problem_ = ProblemOf(failure, path_, "written");
    return false;
  }
  problem_.clear();
  return true;
}

// One transaction for everything kept in memory, in order. Numbers (the run's, the lines')
// are taken over only once it is committed.
void Journal::WritePending() {
  OpenFile& file = *file_;
  sqlite3* db = file.handle();
  std::int64_t run = run_;
  std::int64_t last_sequence = last_sequence_;
  std::vector<std::pair<std::uint64_t, std::int64_t>> numbered;

  file.begin.Run();
  for (const Pending& item : pending_) {
    std::visit(Overloaded{
                   [&](const PendingRunStart& start) {
                     file.insert_run.BindReal(1, start.time);
                     file.insert_run.Run();
                     run = sqlite3_last_insert_rowid(db);
                   },
                   [&](const PendingLine& pending) {
                     journal_format::BindLine(file.insert_line, pending.line, run);
                     file.insert_line.Run();
                     last_sequence = sqlite3_last_insert_rowid(db);
                     numbered.emplace_back(pending.handle, last_sequence);
                   },
                   [&](const PendingDone& done) {
                     file.mark_done.BindInt64(1, done.acknowledged);
                     file.mark_done.BindInt64(2, sequences_[done.handle - 1]);
                     file.mark_done.Run();
                   },
                   [&](const PendingAutosave& autosave) {
                     file.insert_autosave.BindInt64(1, run);
                     file.insert_autosave.BindInt64(2, last_sequence);
                     file.insert_autosave.BindInt64(3, journal_format::StoredFingerprint(autosave.fingerprint));
                     file.insert_autosave.BindReal(4, autosave.time);
                     file.insert_autosave.Run();
                   },
                   [&](const PendingRunClose& close) {
                     file.close_run.BindReal(1, close.time);
                     file.close_run.BindInt64(2, run);
                     file.close_run.Run();
                     run = 0;
                   },
               },
               item);
  }
  file.commit.Run();

  run_ = run;
  last_sequence_ = last_sequence;
  for (const auto& [handle, sequence] : numbered) sequences_[handle - 1] = sequence;
  pending_.clear();
}

}  // namespace ln40
