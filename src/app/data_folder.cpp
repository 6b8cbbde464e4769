#include "app/data_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "text/codepage.h"
#include "text/error.h"

namespace ln40 {
namespace {

bool MakeFolderTree(const std::string& folder) {
  for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), 0755);
  }
  ::mkdir(folder.c_str(), 0755);
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// An installed program lives among other programs: in a folder of the system's (/usr/bin)
// or in the bin folder of an install prefix (/opt/ln40util/bin). Run by root, such a folder
// is writable, but logs and workbooks have no place there: an installed program keeps them
// in the user's data folder. `folder` ends with "/".
bool IsProgramInstallFolder(const std::string& folder) {
  for (const char* system : {"/usr/", "/bin/", "/sbin/"}) {
    if (folder.rfind(system, 0) == 0) return true;
  }
  const size_t last = folder.rfind('/', folder.size() - 2);
  const std::string name = last == std::string::npos ? folder : folder.substr(last + 1);
  return name == "bin/" || name == "sbin/";
}

std::string WithSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

std::string ExecutableFolder() {
  char path[4096];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return {};
  std::string folder(path, static_cast<size_t>(length));
  return folder.substr(0, folder.rfind('/') + 1);
}

std::string ResolveDataFolder(const std::optional<std::string>& chosen, const std::string& executable_folder) {
  if (chosen) {
    if (!MakeFolderTree(*chosen)) throw Error("Cannot create folder " + Utf8ToCp1252(*chosen) + ": " + Utf8ToCp1252(std::strerror(errno)));
    return WithSlash(*chosen);
  }
  if (!executable_folder.empty() && !IsProgramInstallFolder(WithSlash(executable_folder)) &&
      ::access(executable_folder.c_str(), W_OK) == 0) {
    return WithSlash(executable_folder);
  }
  std::string data_home;
  // A relative XDG_DATA_HOME is not valid and is ignored, as the XDG base directory rules say.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
    data_home = xdg;
  } else {
    const char* home = std::getenv("HOME");
    data_home = std::string(home && *home ? home : ".") + "/.local/share";
  }
  const std::string folder = data_home + "/ln40util";
  if (!MakeFolderTree(folder)) throw Error("Cannot create folder " + Utf8ToCp1252(folder) + ": " + Utf8ToCp1252(std::strerror(errno)));
  return WithSlash(folder);
}

}  // namespace ln40
