#include "exchange/autosave_rotation.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>
#include <utility>

#include "text/codepage.h"
#include "text/error.h"
#include "text/file_replace.h"
#include "text/regular_file.h"

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

// ---- keeping an earlier run's autosaves ----

// autosave-YYYY-MM-DD-HHMM.xls for the local time `written`; from the second on with
// "-<number>" before the extension.
std::string DatedName(std::time_t written, int number) {
  std::tm local{};
  localtime_r(&written, &local);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "autosave-%04d-%02d-%02d-%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min);
  std::string name = stamp;
  if (number > 1) name += "-" + std::to_string(number);
  return name + ".xls";
}

Error FileError(const std::string& what, const std::string& path, int error_number) {
  return Error(what + Utf8ToCp1252(path) + ": " + PlatformErrorText(error_number));
}

// The whole content of a regular file; throws when it cannot be read.
std::string ReadBytes(const std::string& path) {
  // Only regular files come here; should one be swapped for a pipe meanwhile, the open
  // must not wait for its writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) throw FileError("Cannot open ", path, errno);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      const int error_number = errno;
      ::close(fd);
      throw FileError("Cannot read ", path, error_number);
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return bytes;
}

// Whether `dated` (described by `dated_info`) already holds the file `kept`: a second name
// of it, or a copy with the same bytes (made where there are no hard links).
bool AlreadyKeptAs(const std::string& kept, const struct stat& kept_info, const std::string& dated,
                   const struct stat& dated_info) {
  if (!S_ISREG(dated_info.st_mode)) return false;
  if (dated_info.st_dev == kept_info.st_dev && dated_info.st_ino == kept_info.st_ino) return true;
  if (dated_info.st_size != kept_info.st_size) return false;
  return ReadBytes(dated) == ReadBytes(kept);
}

// A copy of `kept` as `dated`, for file systems without hard links. The copy is complete
// on the disk before it gets its name. It is written under a temporary name of
// autosave.xls, so the next tick removes it should the process be killed meanwhile. The
// rename does not check again that `dated` is free: one station at a time uses the folder
// (the data folder lock), and it has just found the name free. The copy keeps the time the
// original was written (best effort), the time its name tells.
void KeepByCopy(const AutosaveFiles& files, const std::string& kept, const struct stat& kept_info,
                const std::string& dated) {
  const std::string bytes = ReadBytes(kept);
  const std::string temporary = TemporaryNameBeside(files.file);
  try {
    WriteNewFile(temporary, bytes);
    const struct timespec times[2] = {kept_info.st_atim, kept_info.st_mtim};
    ::utimensat(AT_FDCWD, temporary.c_str(), times, 0);
    RenameFile(temporary, dated);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
}

// Gives `kept` its dated name unless it has one; returns the name made, empty when none.
std::string KeepUnderDatedName(const AutosaveFiles& files, const std::string& kept, const struct stat& kept_info) {
  const std::string folder = FolderOf(kept);
  for (int number = 1;; ++number) {
    const std::string name = DatedName(kept_info.st_mtim.tv_sec, number);
    const std::string dated = folder + name;
    struct stat dated_info {};
    if (::lstat(dated.c_str(), &dated_info) == 0) {
      if (AlreadyKeptAs(kept, kept_info, dated, dated_info)) return "";
      continue;  // the name of another file
    }
    if (::link(kept.c_str(), dated.c_str()) == 0) return name;
    const int error_number = errno;
    if (error_number == EEXIST) continue;  // taken meanwhile
    if (error_number == ENOENT && !PathExists(kept)) return "";  // gone meanwhile: nothing to keep
    // No hard links here (FAT), or none allowed for this file.
    KeepByCopy(files, kept, kept_info, dated);
    return name;
  }
}

// The rotation renames over autosave.xls and autosave.bak and links to them, and the next
// start reads them: whatever else stands under their names (a named pipe, a folder, a
// device) is not the program's to replace, and is refused before anything is written.
void CheckRotatedNames(const AutosaveFiles& files) {
  for (const std::string* path : {&files.file, &files.backup}) {
    struct stat info {};
    if (::lstat(path->c_str(), &info) != 0 || S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) continue;
    throw Error(Utf8ToCp1252(*path) + " is " + FileKindText(info.st_mode) +
                ", not a regular file. It is left as it is");
  }
}

}  // namespace

AutosaveFiles AutosaveFilesIn(const std::string& folder) {
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  return {base + "autosave.xls", base + "autosave.bak"};
}

void RotateAutosave(const AutosaveFiles& files, const std::function<void(const std::string& path)>& write_new_file) {
  CheckRotatedNames(files);
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

std::vector<std::string> KeepPreviousRunAutosaves(const AutosaveFiles& files,
                                                  const std::function<bool(const std::string& path)>& keep) {
  std::vector<std::string> made;
  for (const std::string* file : {&files.backup, &files.file}) {
    struct stat info {};
    if (::lstat(file->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (!keep(*file)) continue;
    std::string name = KeepUnderDatedName(files, *file, info);
    if (!name.empty()) made.push_back(std::move(name));
  }
  if (!made.empty()) SyncFolderOf(files.file);
  return made;
}

}  // namespace ln40
