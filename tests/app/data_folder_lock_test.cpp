// One station per data folder, with real second processes: a station in a child process
// holds the folder, is refused to the next one, and frees it when killed.
#include "app/data_folder_lock.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "text/error.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;

class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "ln40lockXXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The error text of taking the lock of `folder`, empty when it was taken (and let go).
std::string LockError(const std::string& folder) {
  try {
    DataFolderLock lock(folder);
    return "";
  } catch (const Error& error) {
    return error.what();
  }
}

// A station in a child process that holds the lock of `folder` until it is killed.
pid_t StartHolder(const std::string& folder) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    try {
      DataFolderLock lock(folder);
      const char held = 'L';
      if (::write(ready[1], &held, 1) != 1) ::_exit(2);
      for (;;) ::pause();
    } catch (...) {
      ::_exit(1);
    }
  }
  ::close(ready[1]);
  char held = 0;
  const bool locked = child > 0 && ::read(ready[0], &held, 1) == 1 && held == 'L';
  ::close(ready[0]);
  if (!locked && child > 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
  }
  return child;
}

TEST(DataFolderLock, SecondStationIsRefusedUntilTheFirstOneDies) {
  ScratchFolder scratch;
  // A folder name beyond ASCII: UTF-8 on the disk, Windows-1252 in the message.
  const fs::path folder = scratch.path() / "L\xC3\xB8p 2026";
  fs::create_directory(folder);

  const pid_t holder = StartHolder(folder.string() + "/");
  ASSERT_GT(holder, 0);
  const std::string shown = (scratch.path() / "L\xF8p 2026").string();
  EXPECT_EQ(LockError(folder.string() + "/"),
            "The folder " + shown + " is in use by another ln40util (pid " + std::to_string(holder) + ")");
  EXPECT_EQ(LockError(folder.string()),
            "The folder " + shown + " is in use by another ln40util (pid " + std::to_string(holder) + ")");

  // Killed without a chance to clean up: its lock file stays, its lock does not.
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  ASSERT_TRUE(fs::exists(folder / kDataFolderLockName));
  {
    DataFolderLock lock(folder.string());
    EXPECT_EQ(ReadAll(folder / kDataFolderLockName), std::to_string(::getpid()) + "\n");
  }
  EXPECT_EQ(LockError(folder.string()), "");
}

// A second window of the same process opens the lock file anew and is refused like a
// second process; the pid shown is whatever the holder's file says.
TEST(DataFolderLock, SecondLockInTheSameProcessShowsTheHoldersPid) {
  ScratchFolder scratch;
  const std::string folder = scratch.path().string();
  const fs::path lock_file = scratch.path() / kDataFolderLockName;
  // A stale lock file with a longer pid than ours is overwritten whole.
  std::ofstream(lock_file) << "9999999999\n";
  DataFolderLock first(folder);
  EXPECT_EQ(ReadAll(lock_file), std::to_string(::getpid()) + "\n");
  const std::string in_use = "The folder " + folder + " is in use by another ln40util (pid ";
  EXPECT_EQ(LockError(folder), in_use + std::to_string(::getpid()) + ")");

  struct Case {
    const char* file_holds;
    const char* shown;
  };
  const Case cases[] = {
      {"4242\n", "4242"},
      {"4242", "4242"},
      {"", "unknown"},           // the holder has not written its pid yet
      {"station\n", "unknown"},  // not a pid
      {"42x\n", "unknown"},
      {"99999999999999999999\n", "unknown"},
  };
  for (const Case& c : cases) {
    std::ofstream(lock_file, std::ios::binary | std::ios::trunc) << c.file_holds;
    EXPECT_EQ(LockError(folder), in_use + c.shown + ")") << "file holds '" << c.file_holds << "'";
  }

  // The lock moves with its owner and ends with the last one.
  DataFolderLock moved = std::move(first);
  EXPECT_NE(LockError(folder), "");
  { DataFolderLock taken = std::move(moved); }
  EXPECT_EQ(LockError(folder), "");
}

// A program the station started (the mail composer) may outlive it; it must not keep the
// folder locked.
TEST(DataFolderLock, ProgramsStartedByTheStationDoNotHoldTheLock) {
  ScratchFolder scratch;
  const std::string folder = scratch.path().string();
  pid_t program = -1;
  {
    DataFolderLock lock(folder);
    // The pipe's write end closes when the child has executed the program (or failed to).
    int started[2];
    ASSERT_EQ(::pipe2(started, O_CLOEXEC), 0);
    program = ::fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
      ::execl("/bin/sleep", "sleep", "600", static_cast<char*>(nullptr));
      const int error_number = errno;
      static_cast<void>(::write(started[1], &error_number, sizeof error_number) == 0);
      ::_exit(127);
    }
    ::close(started[1]);
    int exec_error = 0;
    const ssize_t got = ::read(started[0], &exec_error, sizeof exec_error);
    ::close(started[0]);
    ASSERT_EQ(got, 0) << "sleep could not be started: errno " << exec_error;
  }
  EXPECT_EQ(LockError(folder), "");
  ::kill(program, SIGKILL);
  ::waitpid(program, nullptr, 0);
}

TEST(DataFolderLock, LockFileThatIsNoRegularFileIsRefused) {
  ScratchFolder scratch;
  const fs::path lock_file = scratch.path() / kDataFolderLockName;
  const fs::path elsewhere = scratch.path() / "settings.txt";
  std::ofstream(elsewhere) << "keep me";
  const std::string not_regular = "The lock file " + lock_file.string() + " is not a regular file";

  struct Case {
    const char* what;
    void (*make)(const fs::path& lock_file, const fs::path& elsewhere);
  };
  const Case cases[] = {
      {"symbolic link to a file",
       [](const fs::path& lock, const fs::path& target) { fs::create_symlink(target, lock); }},
      {"dangling symbolic link",
       [](const fs::path& lock, const fs::path& target) { fs::create_symlink(target.string() + ".gone", lock); }},
      {"folder", [](const fs::path& lock, const fs::path&) { fs::create_directory(lock); }},
      {"named pipe", [](const fs::path& lock, const fs::path&) { ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0); }},
  };
  for (const Case& c : cases) {
    c.make(lock_file, elsewhere);
    EXPECT_EQ(LockError(scratch.path().string()), not_regular) << c.what;
    fs::remove(lock_file);
  }
  EXPECT_EQ(ReadAll(elsewhere), "keep me");
  EXPECT_FALSE(fs::exists(elsewhere.string() + ".gone"));

  EXPECT_EQ(LockError((scratch.path() / "missing").string()),
            "Cannot open the lock file " + (scratch.path() / "missing" / kDataFolderLockName).string() +
                ": No such file or directory");
}

}  // namespace
}  // namespace ln40
