#pragma once
// The journal of the reader's lines. Every line the timing station receives is appended here,
// and is on the disk, before its acknowledgement goes out, so no acknowledged time is lost by
// a crash; the next start resumes the run the crash left open and replays what it had not
// finished. At a clean stop the run gets its close mark.
//
// Storage: journal.sqlite in the data folder, an SQLite database in write-ahead-log mode with
// synchronous=FULL (layout in journal_format.h). Append, RecordAutosave, CloseRun and Start
// (when it begins a run) each write one transaction that has reached the disk when they
// return; MarkDone writes without waiting for the disk, and the next full commit carries it.
// The log is folded into the file after lines are done (MarkDone, RecordAutosave, CloseRun),
// not in the commit of an append.
//
// Failures never throw and lose nothing: when the file cannot be opened or written (full
// disk, read-only folder, a foreign or damaged file at its place, another program holding it)
// the records are kept in memory in order, Healthy() turns false and Problem() says what is
// wrong and what to do about it. At the next Append or Retry() what is kept is written first,
// in order, in one transaction. Before each write the journal checks that its file is still
// at its place; when it was removed, it is put back complete from the copy still open.
//
// Not thread-safe: a Journal is used from the event thread only. For reading a journal
// without writing to it (listing, inspection) use JournalReader.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "journal/fingerprint.h"
#include "journal/journal_line.h"
#include "text/date_time.h"

namespace ln40 {

// Names an appended line for MarkDone, whether it is in the file yet or kept in memory.
struct LineHandle {
  std::uint64_t id = 0;  // 0: no line
};

class Journal {
 public:
  // Opens (creating it when absent) journal.sqlite in `folder` (UTF-8, with or without a
  // trailing "/"). Never throws: when the file cannot be used now, Healthy() is false and
  // every later call tries again.
  explicit Journal(std::string folder);
  // Writes what is still kept in memory, if it can (without a close mark: that is CloseRun's).
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  // Call once, first. When the last run in the file has no close mark it is resumed
  // (resumed = true) and new lines join it; otherwise a new run begins. `run` is 0 while the
  // journal cannot be read: the new run then gets its number when it is written, and never
  // resumes an earlier one.
  struct RunStart {
    std::int64_t run = 0;
    bool resumed = false;
  };
  RunStart Start(TDateTime now);

  // Appends `line` (its sequence and run are assigned by the journal) in one fully
  // synchronous transaction. A line appended after CloseRun (or without Start) begins a new
  // run.
  LineHandle Append(JournalLine line);
  // The line's effects are done: marks it handled, and acknowledged when its acknowledgement
  // went out. Written without waiting for the disk.
  void MarkDone(LineHandle line, bool acknowledged);
  // An autosave file with this fingerprint is about to be put in place, holding every line
  // appended so far. Records the run and the last line appended before it.
  void RecordAutosave(std::uint64_t fingerprint, TDateTime now);
  // The close mark of the current run, at a clean stop; what is kept in memory goes first.
  void CloseRun(TDateTime now);

  // Writes what is kept in memory. True when nothing is left in memory.
  bool Retry();
  // False while the file cannot be used or something is kept in memory.
  bool Healthy() const { return problem_.empty(); }
  // While not healthy: what is wrong, in plain words, with the remedy (Windows-1252, as every
  // message of the system).
  std::string Problem() const { return problem_; }
  // The number of lines kept in memory, not yet written.
  std::size_t PendingCount() const;
  // Events the user should hear of once even though the journal went on at once (the file was
  // removed and put back). Each is returned once.
  std::vector<std::string> TakeNotices();
  std::string Path() const { return path_; }  // UTF-8

  // The sequence a line got, once it is in the file.
  std::optional<std::int64_t> SequenceOf(LineHandle line) const;
  // The number of the current run once it is in the file; 0 before, and after CloseRun.
  std::int64_t CurrentRun() const { return run_; }

  // Reading what is in the file (what is kept in memory is not included), for recovery.
  // The last line appended before the autosave with `fingerprint` of `run`.
  std::optional<std::int64_t> AutosaveSequence(std::int64_t run, std::uint64_t fingerprint);
  // The lines of `run` after `after_sequence`, in order.
  std::vector<JournalLine> LinesOfRun(std::int64_t run, std::int64_t after_sequence);
  // Every line of every run, in order.
  void ForEachLine(const std::function<void(const JournalLine&)>& visit);

  // How the open file is kept ("wal", "full"); empty texts while no file is open.
  struct StorageModes {
    std::string journalMode;
    std::string synchronous;
  };
  StorageModes Storage();

 private:
  struct OpenFile;
  struct PendingRunStart {
    TDateTime time;
  };
  struct PendingLine {
    std::uint64_t handle;
    JournalLine line;
  };
  struct PendingDone {
    std::uint64_t handle;
    bool acknowledged;
  };
  struct PendingAutosave {
    std::uint64_t fingerprint;
    TDateTime time;
  };
  struct PendingRunClose {
    TDateTime time;
  };
  using Pending = std::variant<PendingRunStart, PendingLine, PendingDone, PendingAutosave, PendingRunClose>;

  // Makes sure a file is open and still at its place; false (with problem_ set) when not.
  bool Connect();
  bool Open();
  bool PutBack(bool file_in_place);
  // Writes what is kept in memory in one transaction; false (with problem_ set) on failure.
  bool Flush();
  void WritePending();
  // Folds the write-ahead log into the file when it holds `at_pages` pages or more.
  void FoldLog(int at_pages);

  std::string folder_;
  std::string path_;
  std::unique_ptr<OpenFile> file_;
  std::deque<Pending> pending_;
  std::vector<std::int64_t> sequences_;  // by LineHandle id - 1; 0 while kept in memory
  std::int64_t run_ = 0;
  bool in_run_ = false;
  std::int64_t last_sequence_ = 0;  // the last line in the file
  std::string problem_;
  std::vector<std::string> notices_;
};

}  // namespace ln40
