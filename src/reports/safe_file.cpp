#include "reports/safe_file.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "text/file_replace.h"
#include "text/regular_file.h"

namespace ln40 {

bool ReplaceFileContents(const std::string& path, std::string_view bytes) {
  return !path.empty() && !TryReplaceFile(path, bytes);
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  const int fd = OpenForReading(path);
  if (fd < 0) return false;
  std::string content;
  char chunk[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    content.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(fd);
  bytes = std::move(content);
  return true;
}

}  // namespace ln40
