#include "reports/safe_file.h"

#include <fstream>
#include <sstream>

#include "text/file_replace.h"

namespace ln40 {

bool ReplaceFileContents(const std::string& path, std::string_view bytes) {
  return !path.empty() && !TryReplaceFile(path, bytes);
}

bool ReadFileBytes(const std::string& path, std::string& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream content;
  content << file.rdbuf();
  if (file.bad()) return false;
  bytes = content.str();
  return true;
}

}  // namespace ln40
