// The journal when its file cannot be written: a full disk, a read-only folder (from the start
// and mid-run), the file removed while open, a foreign file at its place. Lines are kept in
// memory and written in order once the file can be written again; nothing is lost or doubled.
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "journal/journal.h"
#include "journal_test_support.h"

namespace ln40 {
namespace {

using journal_test::BytesOf;
using journal_test::LinesInFile;
using journal_test::MountedTmpfs;
using journal_test::SampleLine;
using journal_test::SequencesOf;
using journal_test::TemporaryFolder;

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

int Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

// An ext4 file system in an image on a loop device, mounted with errors=remount-ro: the test
// can make the kernel turn it read-only under open files, as it does on a disk error. (An
// ordinary remount to read-only is refused while a file is open for writing.)
class Ext4OnLoopDevice {
 public:
  Ext4OnLoopDevice() : image_(folder_.File("disk.img")), path_(folder_.File("disk")) {
    std::filesystem::create_directory(path_);
    if (Run("truncate -s 16M " + image_) != 0 || Run("mkfs.ext4 -q -F " + image_) != 0) {
      error_ = "mkfs.ext4 cannot make a file system in " + image_;
    } else if (Run("mount -o loop,errors=remount-ro " + image_ + " " + path_) != 0) {
      error_ = "mount -o loop refused";
    } else {
      mounts_ = 1;
    }
  }
  ~Ext4OnLoopDevice() {
    for (; mounts_ > 0; --mounts_) ::umount2(path_.c_str(), MNT_DETACH);
  }

  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }

  // What the kernel does on a disk error: the file system turns read-only at once, with the
  // files still open. The error text, empty on success.
  std::string FailAsOnDiskError() const {
    struct stat status {};
    if (::stat(path_.c_str(), &status) != 0) return "cannot stat the mount point";
    const std::string device_link =
        "/sys/dev/block/" + std::to_string(major(status.st_dev)) + ":" + std::to_string(minor(status.st_dev));
    std::error_code error;
    const std::string device = std::filesystem::read_symlink(device_link, error).filename();
    if (error) return "no " + device_link;
    std::ofstream trigger("/sys/fs/ext4/" + device + "/trigger_fs_error");
    trigger << "journal test\n";
    trigger.flush();
    if (!trigger) return "cannot write /sys/fs/ext4/" + device + "/trigger_fs_error";
    return {};
  }

  // The operator's remedy: another (working) file system mounted on the folder. The broken
  // one stays attached until its last file is closed.
  std::string MountWorkingDisk() {
    ::umount2(path_.c_str(), MNT_DETACH);
    --mounts_;
    if (::mount("tmpfs", path_.c_str(), "tmpfs", 0, "size=4m") != 0) return std::strerror(errno);
    ++mounts_;
    return {};
  }

 private:
  TemporaryFolder folder_;
  std::string image_;
  std::string path_;
  std::string error_;
  int mounts_ = 0;
};

TEST(JournalFailureTest, FullDiskKeepsLinesInMemoryUntilThereIsRoom) {
  MountedTmpfs disk("1m");
  if (!disk.error().empty()) GTEST_SKIP() << "cannot mount a tmpfs: " << disk.error();
  Journal journal(disk.path());
  const std::int64_t run = journal.Start(1.0).run;
  journal.Append(SampleLine("A\r"));
  ASSERT_TRUE(journal.Healthy()) << journal.Problem();

  disk.FillUp("filler");
  const LineHandle b = journal.Append(SampleLine("B\r"));
  journal.MarkDone(b, true);
  const std::uint64_t autosave = Fingerprint("autosave after B");
  journal.RecordAutosave(autosave, 1.5);
  const LineHandle c = journal.Append(SampleLine("C\r"));
  EXPECT_FALSE(journal.Healthy());
  EXPECT_EQ(journal.Problem(), "The journal " + journal.Path() +
                                   " cannot be written: No space left on device. Times are kept in memory and "
                                   "written when there is room again.");
  EXPECT_EQ(journal.PendingCount(), 2u);
  EXPECT_FALSE(journal.Retry());

  std::filesystem::remove(disk.File("filler"));
  EXPECT_TRUE(journal.Retry());
  EXPECT_TRUE(journal.Healthy()) << journal.Problem();
  EXPECT_EQ(journal.PendingCount(), 0u);
  journal.MarkDone(c, false);

  const std::vector<JournalLine> lines = LinesInFile(disk.path());
  EXPECT_EQ(BytesOf(lines), (std::vector<std::string>{"A\r", "B\r", "C\r"}));
  EXPECT_EQ(SequencesOf(lines), (std::vector<std::int64_t>{1, 2, 3}));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[1].handled && lines[1].acknowledged);
  EXPECT_TRUE(lines[2].handled && !lines[2].acknowledged);
  EXPECT_EQ(journal.AutosaveSequence(run, autosave), journal.SequenceOf(b));
}

TEST(JournalFailureTest, JournalThatCannotBeOpenedAtStartIsWrittenOnceItCan) {
  MountedTmpfs disk("1m");
  if (!disk.error().empty()) GTEST_SKIP() << "cannot mount a tmpfs: " << disk.error();
  std::int64_t earlier_run = 0;
  {
    Journal journal(disk.path());
    earlier_run = journal.Start(1.0).run;
    journal.Append(SampleLine("earlier\r"));
    journal.CloseRun(1.5);
  }
  ASSERT_EQ(disk.Remount(true), "");

  Journal journal(disk.path());
  EXPECT_FALSE(journal.Healthy());
  EXPECT_EQ(journal.Problem(), "The journal " + journal.Path() +
                                   " cannot be opened: Read-only file system. Times are kept in memory and "
                                   "written when the folder can be written again.");
  const Journal::RunStart start = journal.Start(2.0);
  EXPECT_EQ(start.run, 0);
  EXPECT_FALSE(start.resumed);
  const LineHandle b = journal.Append(SampleLine("B\r"));
  const std::uint64_t autosave = Fingerprint("autosave after B");
  journal.RecordAutosave(autosave, 2.5);
  journal.Append(SampleLine("C\r"));
  journal.MarkDone(b, true);
  EXPECT_EQ(journal.PendingCount(), 2u);
  EXPECT_EQ(journal.SequenceOf(b), std::nullopt);

  ASSERT_EQ(disk.Remount(false), "");
  EXPECT_TRUE(journal.Retry());
  EXPECT_TRUE(journal.Healthy()) << journal.Problem();

  // The lines kept in memory form a run of their own, numbered after what was in the file.
  const std::vector<JournalLine> lines = LinesInFile(disk.path());
  EXPECT_EQ(BytesOf(lines), (std::vector<std::string>{"earlier\r", "B\r", "C\r"}));
  EXPECT_EQ(SequencesOf(lines), (std::vector<std::int64_t>{1, 2, 3}));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_GT(journal.CurrentRun(), earlier_run);
  EXPECT_EQ(lines[1].run, journal.CurrentRun());
  EXPECT_TRUE(lines[1].handled && lines[1].acknowledged);
  EXPECT_EQ(journal.AutosaveSequence(journal.CurrentRun(), autosave), 2);
}

TEST(JournalFailureTest, FolderTurningReadOnlyMidRunKeepsLinesUntilTheFolderWorksAgain) {
  Ext4OnLoopDevice disk;
  if (!disk.error().empty()) GTEST_SKIP() << disk.error();
  Journal journal(disk.path());
  journal.Start(1.0);
  journal.Append(SampleLine("A\r"));
  ASSERT_TRUE(journal.Healthy()) << journal.Problem();

  const std::string failed = disk.FailAsOnDiskError();
  if (!failed.empty()) GTEST_SKIP() << "cannot turn the file system read-only: " << failed;
  journal.Append(SampleLine("B\r"));
  EXPECT_FALSE(journal.Healthy());
  EXPECT_EQ(journal.Problem(), "The journal " + journal.Path() +
                                   " cannot be written: Read-only file system. Times are kept in memory and "
                                   "written when the folder can be written again.");
  EXPECT_EQ(journal.PendingCount(), 1u);

  ASSERT_EQ(disk.MountWorkingDisk(), "");
  journal.Append(SampleLine("C\r"));
  EXPECT_TRUE(journal.Healthy()) << journal.Problem();
  EXPECT_EQ(journal.TakeNotices().size(), 1u);
  const std::vector<JournalLine> lines = LinesInFile(disk.path());
  EXPECT_EQ(BytesOf(lines), (std::vector<std::string>{"A\r", "B\r", "C\r"}));
  EXPECT_EQ(SequencesOf(lines), (std::vector<std::int64_t>{1, 2, 3}));
}

TEST(JournalFailureTest, RemovedJournalIsPutBackComplete) {
  struct Case {
    const char* removed;
    std::vector<std::string> files;
  };
  const Case cases[] = {
      {"the journal file", {"journal.sqlite"}},
      {"the journal with its log and index", {"journal.sqlite", "journal.sqlite-wal", "journal.sqlite-shm"}},
      {"the write-ahead log only", {"journal.sqlite-wal"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.removed);
    TemporaryFolder folder;
    Journal journal(folder.path());
    const std::int64_t run = journal.Start(1.0).run;
    journal.Append(SampleLine("A\r"));
    const LineHandle b = journal.Append(SampleLine("B\r"));
    const std::uint64_t autosave = Fingerprint("autosave after B");
    journal.RecordAutosave(autosave, 1.5);
    for (const std::string& name : c.files) ASSERT_TRUE(std::filesystem::remove(folder.File(name)));

    journal.MarkDone(b, true);
    const LineHandle d = journal.Append(SampleLine("C\r"));
    EXPECT_TRUE(journal.Healthy()) << journal.Problem();
    EXPECT_EQ(journal.TakeNotices(), std::vector<std::string>{"The journal " + journal.Path() +
                                                              " was removed while in use. It was written again "
                                                              "complete."});
    journal.MarkDone(d, true);
    journal.CloseRun(2.0);

    const std::vector<JournalLine> lines = LinesInFile(folder.path());
    EXPECT_EQ(BytesOf(lines), (std::vector<std::string>{"A\r", "B\r", "C\r"}));
    EXPECT_EQ(SequencesOf(lines), (std::vector<std::int64_t>{1, 2, 3}));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[1].handled && lines[2].handled);
    EXPECT_EQ(JournalReader(folder.path()).AutosaveSequence(run, autosave), 2);
    EXPECT_TRUE(JournalReader(folder.path()).Runs().back().closed.has_value());
  }
}

TEST(JournalFailureTest, ForeignFileAtItsPlaceIsLeftAlone) {
  struct Case {
    const char* what;
    std::string sqlite_script;  // run by sqlite3 to make the file; empty: plain text instead
    std::string problem;        // what the problem says of the file
  };
  const Case cases[] = {
      {"a text file", "", "is not a journal of this program (file is not a database)"},
      {"a database of another program", "CREATE TABLE results(name TEXT); INSERT INTO results VALUES('x');",
       "is a database of another program, not a journal"},
      {"a journal of a later layout", "PRAGMA application_id = 1280193610; PRAGMA user_version = 7;",
       "is a journal of a newer version of this program (layout 7)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TemporaryFolder folder;
    const std::string path = folder.File("journal.sqlite");
    if (c.sqlite_script.empty()) {
      WriteFile(path, "Startnummer;Zeit\r\n42;12:34:56\r\n");
    } else {
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
      EXPECT_EQ(sqlite3_exec(db, c.sqlite_script.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
      sqlite3_close(db);
    }
    const std::string before = ReadFile(path);

    Journal journal(folder.path());
    const Journal::RunStart start = journal.Start(1.0);
    EXPECT_EQ(start.run, 0);
    journal.Append(SampleLine("A\r"));
    EXPECT_FALSE(journal.Healthy());
    EXPECT_EQ(journal.Problem(), "The file " + path + " " + c.problem +
                                     ". It is left as it is. Times are kept in memory; move the file away and "
                                     "they are written to a new journal.");
    EXPECT_EQ(journal.PendingCount(), 1u);
    EXPECT_FALSE(journal.Retry());
    EXPECT_EQ(ReadFile(path), before);

    std::filesystem::rename(path, folder.File("moved away"));
    EXPECT_TRUE(journal.Retry());
    EXPECT_EQ(BytesOf(LinesInFile(folder.path())), std::vector<std::string>{"A\r"});
  }
}

// SQLite would wait for ever on a named pipe and write into a device: the journal looks at
// each of its files before it hands them over, and leaves what is not a file alone.
TEST(JournalFailureTest, NoRegularFileAtItsPlaceIsLeftAloneWithoutWaiting) {
  struct Case {
    const char* name;
    void (*make)(const std::string& path);
    const char* kind;
  };
  const Case cases[] = {
      {"journal.sqlite", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); },
       "a named pipe (FIFO)"},
      {"journal.sqlite-wal", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); },
       "a named pipe (FIFO)"},
      {"journal.sqlite-shm", [](const std::string& path) { std::filesystem::create_symlink("/dev/null", path); },
       "a character device"},
      {"journal.sqlite", [](const std::string& path) { std::filesystem::create_directory(path); }, "a folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " is " + c.kind);
    TemporaryFolder folder;
    const std::string path = folder.File(c.name);
    c.make(path);

    Journal journal(folder.path());
    EXPECT_EQ(journal.Start(1.0).run, 0);
    journal.Append(SampleLine("A\r"));
    EXPECT_FALSE(journal.Healthy());
    EXPECT_EQ(journal.Problem(), "The file " + path + " is " + c.kind +
                                     ", not a regular file. It is left as it is. Times are kept in memory; move the "
                                     "file away and they are written to a new journal.");
    EXPECT_EQ(journal.PendingCount(), 1u);
    EXPECT_FALSE(journal.Retry());
    EXPECT_NE(std::filesystem::symlink_status(path).type(), std::filesystem::file_type::regular);

    std::filesystem::remove(path);
    EXPECT_TRUE(journal.Retry()) << journal.Problem();
    EXPECT_EQ(BytesOf(LinesInFile(folder.path())), std::vector<std::string>{"A\r"});
  }
}

}  // namespace
}  // namespace ln40
