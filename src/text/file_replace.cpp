#include "text/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <type_traits>

#include "text/codepage.h"
#include "text/error.h"
#include "text/output_target.h"

namespace ln40 {
namespace {

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno != EINTR) return errno;
    } else if (written == 0) {
      return EIO;
    } else {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
  }
  return 0;
}

int WriteAll(int fd, std::span<const std::string_view> pieces) {
  for (const std::string_view piece : pieces) {
    if (const int failure = WriteAll(fd, piece)) return failure;
  }
  return 0;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Messages are shown as Windows-1252 text; file names arrive as UTF-8.
Error FileError(const std::string& what, const std::string& path, int error_number) {
  return Error(what + Utf8ToCp1252(path) + ": " + PlatformErrorText(error_number));
}

}  // namespace

std::string PlatformErrorText(int error_number) {
  char buffer[256] = {};
  // The GNU strerror_r returns the text (maybe a static one), the XSI one fills the buffer.
  const auto result = ::strerror_r(error_number, buffer, sizeof buffer);
  if constexpr (std::is_same_v<std::decay_t<decltype(result)>, char*>) {
    return Utf8ToCp1252(result);
  } else {
    return Utf8ToCp1252(buffer);
  }
}

std::string TemporaryNameBeside(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  for (;;) {
    std::string name = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    if (!PathExists(name)) return name;
  }
}

namespace {

// How long a named pipe is given to find its reader (one started beside the program).
constexpr int kPipeReaderWaitMilliseconds = 500;

int WriteIntoSpecialFile(const std::string& target, std::span<const std::string_view> pieces) {
  // The path was resolved: a link found here now was put in since, and is not followed.
  // The open never waits: a named pipe that nobody reads would hold the program for ever
  // (ENXIO instead), and no device becomes the program's terminal.
  int fd = -1;
  for (int waited = 0;; waited += 10) {
    fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd >= 0 || (errno != ENXIO && errno != EINTR) || waited >= kPipeReaderWaitMilliseconds) break;
    ::usleep(10 * 1000);
  }
  if (fd < 0) return errno;
  // Once a reader is there the bytes go at its pace.
  if (const int status = ::fcntl(fd, F_GETFL); status != -1) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  int failure = WriteAll(fd, pieces);
  if (::close(fd) != 0 && failure == 0) failure = errno;
  return failure;
}

}  // namespace

FileReplaceFailure TryReplaceFile(const std::string& name, std::string_view bytes) {
  return TryReplaceFile(name, std::span<const std::string_view>(&bytes, 1));
}

FileReplaceFailure TryReplaceFile(const std::string& name, std::span<const std::string_view> pieces) {
  const OutputTarget resolved = ResolveOutputTarget(name);
  if (!resolved.refused_link.empty()) return {EACCES, false, resolved.refused_link};
  if (resolved.error != 0) return {resolved.error};
  const std::string& target = resolved.path;
  struct stat info {};
  // A link still there leads nowhere: the new file takes its place.
  const bool exists = ::lstat(target.c_str(), &info) == 0 && !S_ISLNK(info.st_mode);
  if (exists) {
    if (S_ISDIR(info.st_mode)) return {EISDIR};
    if (::access(target.c_str(), W_OK) != 0) return {EACCES};
    if (!S_ISREG(info.st_mode)) return {WriteIntoSpecialFile(target, pieces), true};
  }

  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
    temporary = TemporaryNameBeside(target);
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) return {errno};
  int failure = WriteAll(fd, pieces);
  // The new file keeps the permissions the user gave the old one.
  if (failure == 0 && exists && ::fchmod(fd, info.st_mode & 07777) != 0) failure = errno;
  if (failure == 0 && ::fsync(fd) != 0) failure = errno;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure != 0) {
    ::unlink(temporary.c_str());
    return {failure, true};
  }
  if (std::rename(temporary.c_str(), target.c_str()) != 0) {
    failure = errno;
    ::unlink(temporary.c_str());
    return {failure};
  }
  SyncFolderOf(target);
  return {};
}

std::string FileReplaceFailure::Reason() const {
  return refused_link.empty() ? PlatformErrorText(error) : RefusedLinkText(refused_link);
}

void ReplaceFileWith(const std::string& target, std::string_view bytes, const std::string& cannot_create) {
  const FileReplaceFailure failure = TryReplaceFile(target, bytes);
  if (!failure) return;
  if (failure.while_writing) throw Error(PlatformErrorText(failure.error));
  if (!failure.refused_link.empty()) {
    throw Error((cannot_create.empty() ? "Cannot create " + Utf8ToCp1252(target) : cannot_create) + ": " +
                failure.Reason());
  }
  if (!cannot_create.empty()) throw Error(cannot_create);
  throw FileError("Cannot create ", target, failure.error);
}

void WriteNewFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) throw FileError("Cannot create ", path, errno);
  int failure = WriteAll(fd, bytes);
  if (failure == 0 && ::fsync(fd) != 0) failure = errno;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure != 0) {
    ::unlink(path.c_str());
    throw FileError("Cannot write ", path, failure);
  }
}

void SyncFileToDisk(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) throw FileError("Cannot open ", path, errno);
  const int result = ::fsync(fd);
  const int error_number = errno;
  ::close(fd);
  if (result != 0) throw FileError("Cannot write ", path, error_number);
}

void SyncFolderOf(const std::string& path) {
  const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

void RenameFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) throw FileError("Cannot rename ", from, errno);
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace ln40
