// The autosave's file rotation on real files: first, second and later ticks, a backup from
// an earlier run, failed writes, a child process killed at random moments while it
// autosaves, and an earlier run's autosaves kept under dated names at a restart.
#include "exchange/autosave_rotation.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "cfb_test_support.h"
#include "text/error.h"
#include "exchange/autosave.h"
#include "text/file_replace.h"
#include "xls/xls_file.h"

namespace ln40 {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::set<std::string> FilesIn(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// A writer that puts `text` into the new file.
std::function<void(const std::string&)> Writes(const std::string& text) {
  return [text](const std::string& path) { WriteNewFile(path, text); };
}

TEST(AutosaveRotation, FilesAreNamedInTheFolder) {
  EXPECT_EQ(AutosaveFilesIn("/data/ln40/").file, "/data/ln40/autosave.xls");
  EXPECT_EQ(AutosaveFilesIn("/data/ln40").backup, "/data/ln40/autosave.bak");
}

TEST(AutosaveRotation, TicksKeepThePreviousAutosaveAsBackup) {
  test::TempFolder folder;
  const AutosaveFiles files = AutosaveFilesIn(folder.path().string());

  RotateAutosave(files, Writes("first"));  // no autosave yet: no backup is made
  EXPECT_EQ(ReadAll(files.file), "first");
  EXPECT_EQ(FilesIn(folder.path()), (std::set<std::string>{"autosave.xls"}));

  RotateAutosave(files, Writes("second"));
  EXPECT_EQ(ReadAll(files.file), "second");
  EXPECT_EQ(ReadAll(files.backup), "first");

  // Later ticks refresh the backup each time (the rotation of the old program kept the
  // first backup for ever).
  for (const std::string content : {"third", "fourth"}) {
    const std::string before = ReadAll(files.file);
    RotateAutosave(files, Writes(content));
    EXPECT_EQ(ReadAll(files.file), content);
    EXPECT_EQ(ReadAll(files.backup), before);
  }
  EXPECT_EQ(FilesIn(folder.path()), (std::set<std::string>{"autosave.bak", "autosave.xls"}));
}

TEST(AutosaveRotation, BackupFromAnEarlierRunIsReplacedByTheLastAutosave) {
  test::TempFolder folder;
  const AutosaveFiles files = AutosaveFilesIn(folder.path().string());
  WriteText(files.backup, "backup of last week");
  WriteText(files.file, "autosave of last week");
  RotateAutosave(files, Writes("today"));
  EXPECT_EQ(ReadAll(files.file), "today");
  EXPECT_EQ(ReadAll(files.backup), "autosave of last week");

  // A backup but no autosave (the autosave was deleted by hand): the backup stays.
  std::filesystem::remove(files.file);
  RotateAutosave(files, Writes("later"));
  EXPECT_EQ(ReadAll(files.file), "later");
  EXPECT_EQ(ReadAll(files.backup), "autosave of last week");
}

// A crash after the backup link was put in place but before the new autosave was renamed
// leaves autosave.xls and autosave.bak as two names of one file. The next tick must not
// leave its link behind (rename between two links of one file does nothing).
TEST(AutosaveRotation, TickAfterACrashBetweenTheRenamesLeavesNoExtraLink) {
  test::TempFolder folder;
  const AutosaveFiles files = AutosaveFilesIn(folder.path().string());
  WriteText(files.file, "crashed tick");
  ASSERT_EQ(::link(files.file.c_str(), files.backup.c_str()), 0);
  RotateAutosave(files, Writes("next tick"));
  EXPECT_EQ(ReadAll(files.file), "next tick");
  EXPECT_EQ(ReadAll(files.backup), "crashed tick");
  EXPECT_EQ(FilesIn(folder.path()), (std::set<std::string>{"autosave.bak", "autosave.xls"}));
}

TEST(AutosaveRotation, FailedWriteLeavesBothFilesAndNoTemporaryFile) {
  test::TempFolder folder;
  const AutosaveFiles files = AutosaveFilesIn(folder.path().string());
  RotateAutosave(files, Writes("one"));
  RotateAutosave(files, Writes("two"));
  const auto fails_halfway = [](const std::string& path) {
    WriteText(path, "half a work");
    throw Error("No space left on device");
  };
  EXPECT_THROW(RotateAutosave(files, fails_halfway), Error);
  EXPECT_EQ(ReadAll(files.file), "two");
  EXPECT_EQ(ReadAll(files.backup), "one");
  EXPECT_EQ(FilesIn(folder.path()), (std::set<std::string>{"autosave.bak", "autosave.xls"}));
}

// A named pipe or a folder under either name is not the program's to replace: the tick is
// refused, says what is there, and writes nothing.
TEST(AutosaveRotation, NoRegularFileUnderEitherNameIsLeftAlone) {
  for (const bool backup : {false, true}) {
    for (const bool pipe : {false, true}) {
      SCOPED_TRACE(std::string(pipe ? "a pipe" : "a folder") + " as " + (backup ? "the backup" : "the autosave"));
      test::TempFolder folder;
      const AutosaveFiles files = AutosaveFilesIn(folder.path().string());
      RotateAutosave(files, Writes("one"));
      RotateAutosave(files, Writes("two"));
      const std::string& taken = backup ? files.backup : files.file;
      std::filesystem::remove(taken);
      if (pipe) {
        ASSERT_EQ(::mkfifo(taken.c_str(), 0644), 0);
      } else {
        std::filesystem::create_directory(taken);
      }
      try {
        RotateAutosave(files, Writes("three"));
        FAIL() << "no error";
      } catch (const Error& error) {
        const std::string kind = pipe ? "a named pipe (FIFO)" : "a folder";
        EXPECT_EQ(std::string(error.what()), taken + " is " + kind + ", not a regular file. It is left as it is");
      }
      EXPECT_EQ(std::filesystem::status(taken).type(),
                pipe ? std::filesystem::file_type::fifo : std::filesystem::file_type::directory);
      EXPECT_EQ(ReadAll(backup ? files.file : files.backup), backup ? "two" : "one");
      EXPECT_EQ(FilesIn(folder.path()), (std::set<std::string>{"autosave.bak", "autosave.xls"}));
    }
  }
}

TEST(AutosaveRotation, FolderThatCannotBeWrittenLeavesNoAutosave) {
  test::TempFolder folder;
  const AutosaveFiles files = AutosaveFilesIn(folder.File("missing"));
  try {
    RotateAutosave(files, Writes("x"));
    FAIL() << "no error";
  } catch (const Error& error) {
    // The platform's reason, for the callers that show it (the autosave itself does not).
    EXPECT_NE(std::string(error.what()).find("No such file or directory"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(PathExists(files.file));
}

TEST(AutosaveRotation, TemporaryFilesOfKilledProcessesAreRemoved) {
  test::TempFolder folder;
  const AutosaveFiles files = AutosaveFilesIn(folder.path().string());
  // A process that has ended: a child that exited and was reaped.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string stale = "autosave.xls.tmp" + std::to_string(gone) + "-0";
  const std::string stale_link = "autosave.bak.tmp" + std::to_string(gone) + "-3";
  const std::string running = "autosave.xls.tmp" + std::to_string(::getppid()) + "-0";
  for (const std::string& name : {stale, stale_link, running}) WriteText(folder.File(name), "partial");
  RotateAutosave(files, Writes("new"));
  EXPECT_EQ(FilesIn(folder.path()), (std::set<std::string>{"autosave.xls", running}));
}

// Both tables as an autosave writes them, the tick number in the runner sheet's cell A1:
// 1,500 runners and 3,000 read times, so that a write takes a while and the kills land in
// the middle of some.
std::vector<std::uint8_t> NumberedWorkbook(int tick) {
  TGridTable sheet(12), times(6);
  sheet.SetRowCount(1501);
  for (int row = 1; row <= 1500; ++row) {
    sheet.SetCell(0, row, "Runner " + std::to_string(row));
    sheet.SetCell(6, row, std::to_string(row));
    sheet.SetCell(10, row, "12:34:56");
  }
  sheet.SetCell(0, 1, std::to_string(tick));
  times.SetRowCount(3001);
  for (int row = 2; row <= 3000; ++row) {
    times.SetCell(0, row, std::to_string(row - 1));
    times.SetCell(5, row, "data\r");
  }
  return BothTablesImage(TGridExcelIO(sheet), TGridExcelIO(times));
}

int TickIn(const std::string& path) {
  TXLSFile book;
  book.OpenFile(path);
  book.SetActiveSheet(1);
  return static_cast<int>(book.GetCellValue(1, 1).number);
}

// A child autosaves in a loop and is killed with SIGKILL at random moments. After every
// kill autosave.xls is there and opens, and so does autosave.bak, holding an earlier tick.
TEST(AutosaveRotation, KilledAtRandomMomentsLeavesAReadableAutosave) {
  test::TempFolder folder;
  const AutosaveFiles files = AutosaveFilesIn(folder.path().string());
  const std::vector<std::uint8_t> base = NumberedWorkbook(0);
  RotateAutosave(files, [&](const std::string& path) {
    WriteNewFile(path, std::string_view(reinterpret_cast<const char*>(base.data()), base.size()));
  });

  std::mt19937 random(20261210);
  std::uniform_int_distribution<int> delay_us(0, 30000);
  int tick = 1;
  for (int kill = 0; kill < 60; ++kill) {
    const int first_tick = tick;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int t = first_tick;; ++t) {
        const std::vector<std::uint8_t> image = NumberedWorkbook(t);
        try {
          RotateAutosave(files, [&](const std::string& path) {
            WriteNewFile(path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
          });
        } catch (...) {
          ::_exit(3);
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay_us(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself: " << status;

    ASSERT_TRUE(PathExists(files.file)) << "kill " << kill;
    int saved = -1, backed_up = -1;
    ASSERT_NO_THROW(saved = TickIn(files.file)) << "kill " << kill;
    if (PathExists(files.backup)) {
      ASSERT_NO_THROW(backed_up = TickIn(files.backup)) << "kill " << kill;
      EXPECT_LE(backed_up, saved);
    }
    EXPECT_GE(saved, first_tick - 1);
    tick = saved + 1;
  }
  // The next tick clears what the killed children left.
  RotateAutosave(files, [&](const std::string& path) {
    WriteNewFile(path, std::string_view(reinterpret_cast<const char*>(base.data()), base.size()));
  });
  EXPECT_EQ(FilesIn(folder.path()), (std::set<std::string>{"autosave.bak", "autosave.xls"}));
}

// ---- an earlier run's autosaves kept at a restart ----

// The local time 2026-12-11 hour:minute:second, as the file system keeps it.
std::time_t December11(int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 11;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return std::mktime(&local);
}

void SetWritten(const std::string& path, std::time_t written) {
  const struct timespec times[2] = {{written, 0}, {written, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

struct stat StatOf(const std::string& path) {
  struct stat info {};
  ::stat(path.c_str(), &info);
  return info;
}

const auto kAlways = [](const std::string&) { return true; };

TEST(KeepPreviousRunAutosaves, RestartKeepsThemAndLaterTicksLeaveThemAlone) {
  test::TempFolder folder;
  const AutosaveFiles files = AutosaveFilesIn(folder.path().string());
  WriteText(files.backup, "runner sheet at 07:11");
  SetWritten(files.backup, December11(7, 11, 20));
  WriteText(files.file, "runner sheet at 07:12");
  SetWritten(files.file, December11(7, 12, 40));

  std::vector<std::string> asked;
  const std::vector<std::string> made = KeepPreviousRunAutosaves(files, [&](const std::string& path) {
    asked.push_back(path);
    return true;
  });
  EXPECT_EQ(asked, (std::vector<std::string>{files.backup, files.file}));
  ASSERT_EQ(made, (std::vector<std::string>{"autosave-2026-12-11-0711.xls", "autosave-2026-12-11-0712.xls"}));
  EXPECT_EQ(StatOf(folder.File(made[1])).st_mtime, December11(7, 12, 40));

  // The same start again (the station closed before its first tick) keeps nothing new.
  EXPECT_TRUE(KeepPreviousRunAutosaves(files, kAlways).empty());

  // The new run's ticks replace autosave.xls and autosave.bak; the dated files keep the
  // earlier run's tables.
  RotateAutosave(files, Writes("new run, tick 1"));
  RotateAutosave(files, Writes("new run, tick 2"));
  EXPECT_EQ(ReadAll(files.file), "new run, tick 2");
  EXPECT_EQ(ReadAll(files.backup), "new run, tick 1");
  EXPECT_EQ(ReadAll(folder.File("autosave-2026-12-11-0711.xls")), "runner sheet at 07:11");
  EXPECT_EQ(ReadAll(folder.File("autosave-2026-12-11-0712.xls")), "runner sheet at 07:12");

  // Started again after a crash, the run resumes: its own autosaves are not kept.
  const auto not_this_run = [](const std::string& path) { return !ReadAll(path).starts_with("new run"); };
  EXPECT_TRUE(KeepPreviousRunAutosaves(files, not_this_run).empty());
  EXPECT_EQ(FilesIn(folder.path()), (std::set<std::string>{"autosave.bak", "autosave.xls", "autosave-2026-12-11-0711.xls",
                                                           "autosave-2026-12-11-0712.xls"}));
}

TEST(KeepPreviousRunAutosaves, DatedNames) {
  struct Previous {
    const char* content;
    int minute, second;  // written at 07:minute:second
  };
  struct Case {
    const char* what;
    std::optional<Previous> backup, file;
    bool one_file_two_names;  // a crash between the renames of a tick
    std::vector<std::pair<std::string, std::string>> there_before;  // dated files and their content
    bool keep;
    std::vector<std::pair<std::string, std::string>> made;  // name, content it holds
  };
  const Case cases[] = {
      {"both in one minute: the older one has the plain name",
       Previous{"backup", 12, 5}, Previous{"autosave", 12, 40}, false, {}, true,
       {{"autosave-2026-12-11-0712.xls", "backup"}, {"autosave-2026-12-11-0712-2.xls", "autosave"}}},
      {"names taken by other files",
       std::nullopt, Previous{"autosave", 12, 40}, false,
       {{"autosave-2026-12-11-0712.xls", "another race"}, {"autosave-2026-12-11-0712-2.xls", "a third race"}}, true,
       {{"autosave-2026-12-11-0712-3.xls", "autosave"}}},
      {"already kept as a copy with the same bytes",
       std::nullopt, Previous{"autosave", 12, 40}, false, {{"autosave-2026-12-11-0712.xls", "autosave"}}, true, {}},
      {"two names of one file are kept once",
       std::nullopt, Previous{"crashed tick", 12, 40}, true, {}, true, {{"autosave-2026-12-11-0712.xls", "crashed tick"}}},
      {"a backup without an autosave",
       Previous{"backup", 9, 0}, std::nullopt, false, {}, true, {{"autosave-2026-12-11-0709.xls", "backup"}}},
      {"the current run's files", Previous{"backup", 11, 0}, Previous{"autosave", 12, 0}, false, {}, false, {}},
      {"no autosave at all", std::nullopt, std::nullopt, false, {}, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempFolder folder;
    const AutosaveFiles files = AutosaveFilesIn(folder.path().string());
    for (const auto& [name, content] : c.there_before) WriteText(folder.File(name), content);
    const auto put = [](const std::optional<Previous>& previous, const std::string& path) {
      if (!previous) return;
      WriteText(path, previous->content);
      SetWritten(path, December11(7, previous->minute, previous->second));
    };
    put(c.backup, files.backup);
    put(c.file, files.file);
    if (c.one_file_two_names) {
      ASSERT_EQ(::link(files.file.c_str(), files.backup.c_str()), 0);
    }

    std::vector<std::string> expected_names;
    for (const auto& [name, content] : c.made) expected_names.push_back(name);
    EXPECT_EQ(KeepPreviousRunAutosaves(files, [&](const std::string&) { return c.keep; }), expected_names);
    for (const auto& [name, content] : c.made) EXPECT_EQ(ReadAll(folder.File(name)), content) << name;
    for (const auto& [name, content] : c.there_before) EXPECT_EQ(ReadAll(folder.File(name)), content) << name;
    // Nothing else appears beside the two autosave files.
    std::set<std::string> expected_others, others = FilesIn(folder.path());
    for (const auto& [name, content] : c.there_before) expected_others.insert(name);
    for (const auto& [name, content] : c.made) expected_others.insert(name);
    others.erase("autosave.xls");
    others.erase("autosave.bak");
    EXPECT_EQ(others, expected_others);
  }
}

// Where no hard link can be made (FAT; here an immutable file, which no one may link to),
// the file is copied. Changing the flag needs root; elsewhere the test is skipped.
TEST(KeepPreviousRunAutosaves, CopiedWhereNoLinkCanBeMade) {
  test::TempFolder folder;
  const AutosaveFiles files = AutosaveFilesIn(folder.path().string());
  WriteText(files.file, "runner sheet at 07:12");
  SetWritten(files.file, December11(7, 12, 40));

  struct Immutable {
    explicit Immutable(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
      int flags = 0;
      if (fd < 0 || ::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) return;
      flags |= FS_IMMUTABLE_FL;
      set = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ~Immutable() {
      int flags = 0;
      if (set && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
      }
      if (fd >= 0) ::close(fd);
    }
    int fd;
    bool set = false;
  };
  std::vector<std::string> made, made_again;
  {
    const Immutable immutable(files.file);
    if (!immutable.set) {
      GTEST_SKIP() << "the immutable flag cannot be set here";
    }
    ASSERT_NE(::link(files.file.c_str(), folder.File("probe").c_str()), 0);
    made = KeepPreviousRunAutosaves(files, kAlways);
    made_again = KeepPreviousRunAutosaves(files, kAlways);
  }
  ASSERT_EQ(made, (std::vector<std::string>{"autosave-2026-12-11-0712.xls"}));
  EXPECT_TRUE(made_again.empty());  // the copy holds the same bytes
  const struct stat copy = StatOf(folder.File(made[0]));
  EXPECT_NE(copy.st_ino, StatOf(files.file).st_ino);
  EXPECT_EQ(copy.st_mtime, December11(7, 12, 40));

  RotateAutosave(files, Writes("new run, tick 1"));
  EXPECT_EQ(ReadAll(folder.File(made[0])), "runner sheet at 07:12");
  EXPECT_EQ(FilesIn(folder.path()), (std::set<std::string>{"autosave.bak", "autosave.xls", made[0]}));
}

}  // namespace
}  // namespace ln40
