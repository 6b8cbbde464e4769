#include "workbook/autosave_rotation.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "text/error.h"
#include "text/file_replace.h"

namespace ln40 {
namespace {

constexpr std::string_view kTemporaryMark = ".tmp";

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary names are "<target>.tmp<pid>-<n>" (TemporaryNameBeside). One whose process no
// longer runs was left by a crash and is removed; those of running processes are left
// alone, in case another copy of the program autosaves into the same folder.
void RemoveStaleTemporaryFiles(const AutosaveFiles& files) {
  const std::string folder = FolderOf(files.file);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::string prefixes[] = {NameOf(files.file) + std::string(kTemporaryMark),
                                  NameOf(files.backup) + std::string(kTemporaryMark)};
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    for (const std::string& prefix : prefixes) {
      if (!name.starts_with(prefix)) continue;
      const std::string rest(name.substr(prefix.size()));
      char* end = nullptr;
      const long pid = std::strtol(rest.c_str(), &end, 10);
      if (end == rest.c_str() || *end != '-' || pid <= 0) continue;
      if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
      ::unlink((folder + std::string(name)).c_str());
    }
  }
  ::closedir(dir);
}

// autosave.bak := the file autosave.xls is now. A hard link put in place by rename replaces
// the old backup in one step and keeps autosave.xls where it is; on a file system without
// hard links (FAT on a memory stick) autosave.xls itself is renamed to autosave.bak.
// After a crash between the two renames of a tick, autosave.bak and autosave.xls are links
// to one file; rename then leaves the new link in place, so it is removed afterwards.
void KeepAsBackup(const AutosaveFiles& files) {
  const std::string link_name = TemporaryNameBeside(files.backup);
  if (::link(files.file.c_str(), link_name.c_str()) == 0) {
    try {
      RenameFile(link_name, files.backup);
    } catch (...) {
      ::unlink(link_name.c_str());
      throw;
    }
    ::unlink(link_name.c_str());
    return;
  }
  RenameFile(files.file, files.backup);
}

}  // namespace

AutosaveFiles AutosaveFilesIn(const std::string& folder) {
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  return {base + "autosave.xls", base + "autosave.bak"};
}

void RotateAutosave(const AutosaveFiles& files, const std::function<void(const std::string& path)>& write_new_file) {
  RemoveStaleTemporaryFiles(files);
  const std::string temporary = TemporaryNameBeside(files.file);
  try {
    write_new_file(temporary);
    SyncFileToDisk(temporary);
    if (PathExists(files.file)) KeepAsBackup(files);
    RenameFile(temporary, files.file);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  SyncFolderOf(files.file);
}

}  // namespace ln40
