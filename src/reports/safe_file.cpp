#include "reports/safe_file.h"

#include <unistd.h>

#include <optional>
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
  std::optional<std::string> content = ReadToEnd(fd);
  ::close(fd);
  if (!content) return false;
  bytes = std::move(*content);
  return true;
}

}  // namespace ln40
