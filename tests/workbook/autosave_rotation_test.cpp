// The autosave's file rotation on real files: first, second and later ticks, a backup from
// an earlier run, failed writes, and a child process killed at random moments while it
// autosaves.
#include "workbook/autosave_rotation.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "cfb_test_support.h"
#include "text/error.h"
#include "workbook/autosave.h"
#include "text/file_replace.h"
#include "workbook/xls_file.h"

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

}  // namespace
}  // namespace ln40
