#pragma once
// The program's folder, where logs, list pages, the autosave workbook and mail.xls go:
// the folder given with --data-dir; else the executable's folder when it is writable and
// not where installed programs live (under /usr/, /bin/, /sbin/, or a folder named bin);
// else $XDG_DATA_HOME/ln40util/ (~/.local/share/ln40util/). Paths are UTF-8 file names.
#include <optional>
#include <string>

namespace ln40 {

// The folder of the running executable (from /proc/self/exe), empty when unknown.
std::string ExecutableFolder();

// The folder as above, created when missing, with a trailing "/". Throws Error when no
// folder can be created.
std::string ResolveDataFolder(const std::optional<std::string>& chosen, const std::string& executable_folder);

}  // namespace ln40
