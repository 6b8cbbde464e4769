#include "text/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "text/file_replace.h"
#include "text/regular_file.h"

namespace ln40 {
namespace {

std::string KindReason(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a folder";
  return "it is " + FileKindText(mode) + ", not a regular file";
}

std::string TooLarge(std::size_t max_bytes) { return "it is larger than " + SizeBoundText(max_bytes); }

// Reads the open regular file `fd` of `size` bytes (as fstat gave it) into `bytes`; a file
// that grows past the bound while it is read is refused as well.
std::string ReadOpenFile(int fd, off_t size, std::size_t max_bytes, std::string& bytes) {
  bytes.clear();
  if (size < 0 || static_cast<std::size_t>(size) > max_bytes) return TooLarge(max_bytes);
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t done = 0;
  char more[4096];
  for (;;) {
    const bool within = done < bytes.size();
    const ssize_t got = within ? ::read(fd, bytes.data() + done, bytes.size() - done) : ::read(fd, more, sizeof more);
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error_number = errno;
      bytes.clear();
      return PlatformErrorText(error_number);
    }
    if (got == 0) break;
    if (!within) {
      if (static_cast<std::size_t>(got) > max_bytes - done) {
        bytes.clear();
        return TooLarge(max_bytes);
      }
      bytes.append(more, static_cast<std::size_t>(got));
    }
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);  // a file cut short while read
  return {};
}

std::vector<std::string> PartsOf(const std::string& name) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t slash = name.find('/', start);
    if (slash == std::string::npos) slash = name.size();
    std::string part = name.substr(start, slash - start);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    start = slash + 1;
  }
  return parts;
}

// Closes a folder this walk opened (never the caller's).
class FolderWalk {
 public:
  explicit FolderWalk(int start) : start_(start), fd_(start) {}
  ~FolderWalk() { Close(); }
  FolderWalk(const FolderWalk&) = delete;
  FolderWalk& operator=(const FolderWalk&) = delete;
  int fd() const { return fd_; }
  void MoveTo(int folder) {
    Close();
    fd_ = folder;
  }

 private:
  void Close() {
    if (fd_ != start_ && fd_ >= 0) ::close(fd_);
  }
  int start_;
  int fd_;
};

}  // namespace

std::string SizeBoundText(std::size_t bytes) {
  constexpr std::size_t kMB = std::size_t{1} << 20;
  if (bytes >= kMB && bytes % kMB == 0) return std::to_string(bytes / kMB) + " MB";
  return std::to_string(bytes) + " bytes";
}

std::string ReadWholeFile(const std::string& path, std::size_t max_bytes, std::string& bytes) {
  bytes.clear();
  const RegularFile file = OpenRegularFile(path, O_RDONLY);
  if (file.other != 0) return KindReason(file.other);
  if (!file) return PlatformErrorText(file.error);
  std::string reason = ReadOpenFile(file.fd, file.size, max_bytes, bytes);
  ::close(file.fd);
  return reason;
}

std::string ReadWholeFileInside(int folder_fd, const std::string& name, std::size_t max_bytes, std::string& bytes,
                                bool& missing) {
  bytes.clear();
  missing = false;
  const std::vector<std::string> parts = PartsOf(name);
  for (const std::string& part : parts) {
    if (part == "..") return "it leads out of the folder with \"..\"";
  }
  if (parts.empty()) return "it is a folder";

  FolderWalk folder(folder_fd);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    const char* part = parts[i].c_str();
    struct stat info {};
    if (::fstatat(folder.fd(), part, &info, AT_SYMLINK_NOFOLLOW) != 0) {
      missing = errno == ENOENT;
      return PlatformErrorText(errno);
    }
    if (S_ISLNK(info.st_mode)) return last ? "it is a symbolic link" : "it passes through a symbolic link";
    if (!last) {
      if (!S_ISDIR(info.st_mode)) return PlatformErrorText(ENOTDIR);
      const int next = ::openat(folder.fd(), part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (next < 0) return errno == ELOOP ? "it passes through a symbolic link" : PlatformErrorText(errno);
      folder.MoveTo(next);
      continue;
    }
    if (!S_ISREG(info.st_mode)) return KindReason(info.st_mode);
    const int fd = ::openat(folder.fd(), part, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP ? "it is a symbolic link" : PlatformErrorText(errno);
    // Checked again on what was opened: the name may have been given to something else since.
    std::string reason;
    if (::fstat(fd, &info) != 0) {
      reason = PlatformErrorText(errno);
    } else if (!S_ISREG(info.st_mode)) {
      reason = KindReason(info.st_mode);
    } else {
      reason = ReadOpenFile(fd, info.st_size, max_bytes, bytes);
    }
    ::close(fd);
    return reason;
  }
  return {};
}

}  // namespace ln40
