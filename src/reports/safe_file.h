#pragma once
// Replacing a file without leaving a half-written one behind: the bytes go to a temporary
// file in the target's folder, are flushed to the disk, and the temporary file is renamed
// over the target only when it is complete. A reader of the target sees the old file or the
// new one, never a part.
#include <string>
#include <string_view>

namespace ln40 {

// Writes `bytes` to `path` (a UTF-8 file name) as said above. Returns false, leaving the
// target as it was and no temporary file behind, when any step fails.
bool ReplaceFileContents(const std::string& path, std::string_view bytes);

// The whole file, or false when it cannot be opened or read.
bool ReadFileBytes(const std::string& path, std::string& bytes);

}  // namespace ln40
