#include "text/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ln40 {

std::string FileKindText(mode_t mode) {
  switch (mode & S_IFMT) {
    case S_IFIFO: return "a named pipe (FIFO)";
    case S_IFDIR: return "a folder";
    case S_IFCHR: return "a character device";
    case S_IFBLK: return "a block device";
    case S_IFSOCK: return "a socket";
    case S_IFLNK: return "a symbolic link";
    case S_IFREG: return "a regular file";
    default: return "a special file";
  }
}

std::string NotARegularFileText(mode_t mode) { return "It is " + FileKindText(mode) + ", not a regular file"; }

mode_t OtherThanRegularFileAt(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return 0;
  return info.st_mode & S_IFMT;
}

int OpenForReading(const std::string& path) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

RegularFile OpenRegularFile(const std::string& path, int flags, mode_t mode) {
  RegularFile file;
  if ((file.other = OtherThanRegularFileAt(path)) != 0) return file;
  do {
    file.fd = ::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
  } while (file.fd < 0 && errno == EINTR);
  if (file.fd < 0) {
    file.error = errno;
    // Swapped in after the check: a folder (EISDIR), a pipe without a reader or a socket (ENXIO).
    if (file.error == EISDIR || file.error == ENXIO) file.other = OtherThanRegularFileAt(path);
    return file;
  }
  struct stat info {};
  const bool known = ::fstat(file.fd, &info) == 0;
  if (!known || !S_ISREG(info.st_mode)) {
    if (known) {
      file.other = info.st_mode & S_IFMT;
    } else {
      file.error = errno;
    }
    ::close(file.fd);
    file.fd = -1;
    return file;
  }
  file.size = info.st_size;
  const int status = ::fcntl(file.fd, F_GETFL);
  if (status != -1) ::fcntl(file.fd, F_SETFL, status & ~O_NONBLOCK);
  return file;
}

std::optional<std::string> ReadToEnd(int fd) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) return bytes;
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

std::optional<std::string> ReadRegularFile(const std::string& path) {
  const RegularFile file = OpenRegularFile(path, O_RDONLY);
  if (!file) return std::nullopt;
  std::optional<std::string> bytes = ReadToEnd(file.fd);
  ::close(file.fd);
  return bytes;
}

}  // namespace ln40
