#include "app/data_folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "text/codepage.h"
#include "text/error.h"
#include "text/file_replace.h"

namespace ln40 {
namespace {

// The folder as the user gave it, without trailing slashes ("/" stays "/").
std::string FolderAsGiven(const std::string& folder) {
  std::string name = folder;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  return name;
}

std::string LockFileIn(const std::string& folder) {
  if (folder.empty()) return kDataFolderLockName;
  if (folder.back() == '/') return folder + kDataFolderLockName;
  return folder + "/" + kDataFolderLockName;
}

Error NotARegularFile(const std::string& lock_file) {
  return Error("The lock file " + Utf8ToCp1252(lock_file) + " is not a regular file");
}

// The process id the holder wrote: decimal digits ending the file or a line. 0 when the
// file holds none (written by nothing yet, or damaged).
long HolderPid(int fd) {
  char bytes[32];
  const ssize_t size = ::pread(fd, bytes, sizeof bytes, 0);
  if (size <= 0) return 0;
  long pid = 0;
  ssize_t at = 0;
  for (; at < size && bytes[at] >= '0' && bytes[at] <= '9'; ++at) {
    pid = pid * 10 + (bytes[at] - '0');
    if (pid > 0x7FFFFFFF) return 0;
  }
  if (at == 0 || (at < size && bytes[at] != '\n')) return 0;
  return pid;
}

// The holder's pid replaces what an earlier holder wrote. Written over the old text and
// then cut to length, so that the file never looks empty while the old pid is replaced.
// Failures are ignored: the pid only makes the message of the next station clearer.
void WriteOwnPid(int fd) {
  const std::string text = std::to_string(::getpid()) + "\n";
  if (::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) return;
  static_cast<void>(::ftruncate(fd, static_cast<off_t>(text.size())) == 0);
}

}  // namespace

DataFolderLock::DataFolderLock(const std::string& folder) {
  const std::string shown = FolderAsGiven(folder);
  const std::string lock_file = LockFileIn(shown);

  // Something else under the name is refused before it is opened: opening a device can
  // have effects of its own. The checks after the open close the gap to a swap meanwhile.
  struct stat info {};
  if (::lstat(lock_file.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) throw NotARegularFile(lock_file);
  const int fd =
      ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0666);
  if (fd < 0) {
    const int error_number = errno;
    // A symbolic link (O_NOFOLLOW), a folder, a socket or a pipe without a reader.
    if (error_number == ELOOP || error_number == EISDIR || error_number == ENXIO) throw NotARegularFile(lock_file);
    throw Error("Cannot open the lock file " + Utf8ToCp1252(lock_file) + ": " + PlatformErrorText(error_number));
  }
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw NotARegularFile(lock_file);
  }

  int result;
  do {
    result = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    const int error_number = errno;
    if (error_number == EWOULDBLOCK) {
      const long pid = HolderPid(fd);
      ::close(fd);
      throw Error("The folder " + Utf8ToCp1252(shown) + " is in use by another ln40util (pid " +
                  (pid > 0 ? std::to_string(pid) : std::string("unknown")) + ")");
    }
    ::close(fd);
    throw Error("Cannot lock the folder " + Utf8ToCp1252(shown) + ": " + PlatformErrorText(error_number));
  }
  WriteOwnPid(fd);
  fd_ = fd;
}

DataFolderLock::~DataFolderLock() { Release(); }

DataFolderLock::DataFolderLock(DataFolderLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

DataFolderLock& DataFolderLock::operator=(DataFolderLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

// Closing the last descriptor of the open file releases the flock. The pid stays in the
// file; the next holder writes its own over it.
void DataFolderLock::Release() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace ln40
