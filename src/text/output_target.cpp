#include "text/output_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <vector>

#include "text/codepage.h"

namespace ln40 {
namespace {

constexpr int kMaxLinks = 40;  // the kernel's own bound on the links of one path

// Puts the parts of `path` before those still to walk; empty and "." parts are dropped.
void PushFront(std::deque<std::string>& todo, const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(start, slash - start);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    start = slash + 1;
  }
  todo.insert(todo.begin(), parts.begin(), parts.end());
}

bool ReadLink(const std::string& path, std::string& target) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0) return false;
    if (static_cast<std::size_t>(length) < buffer.size()) {
      target.assign(buffer.data(), static_cast<std::size_t>(length));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// A walk along a path, part by part, as the kernel resolves it. `done` never holds a link,
// so a ".." can be taken off it by its text; "" stands for the root folder.
struct Walk {
  std::string done;
  int links = 0;
  std::string refused_link;
  int error = 0;

  // Walks `todo`; true when every part was found, false with `error` or `refused_link` set.
  bool Follow(std::deque<std::string> todo) {
    while (!todo.empty()) {
      const std::string part = std::move(todo.front());
      todo.pop_front();
      if (part == "..") {
        done.erase(std::min(done.size(), done.rfind('/')));
        continue;
      }
      const std::string next = done + "/" + part;
      struct stat info {};
      if (::lstat(next.c_str(), &info) != 0) return Fail(errno);
      if (S_ISLNK(info.st_mode)) {
        if (++links > kMaxLinks) return Fail(ELOOP);
        struct stat folder {};
        if (::stat(done.empty() ? "/" : done.c_str(), &folder) != 0) return Fail(errno);
        if (!MayFollowLink({folder.st_mode, folder.st_uid, info.st_uid, ::geteuid()})) {
          refused_link = next;
          return false;
        }
        std::string target;
        if (!ReadLink(next, target)) return Fail(errno);
        if (target.starts_with('/')) done.clear();
        PushFront(todo, target);
        continue;
      }
      if (!todo.empty() && !S_ISDIR(info.st_mode)) return Fail(ENOTDIR);
      done = next;
    }
    return true;
  }

  bool Fail(int error_number) {
    error = error_number;
    return false;
  }
};

}  // namespace

bool MayFollowLink(const LinkFollowFacts& facts) {
  const bool shared = (facts.folder_mode & S_ISVTX) != 0 && (facts.folder_mode & S_IWOTH) != 0;
  return !shared || facts.link_owner == facts.user || facts.link_owner == facts.folder_owner;
}

OutputTarget ResolveOutputTarget(const std::string& path) {
  if (path.empty()) return {path, "", ENOENT};
  Walk walk;
  if (!path.starts_with('/')) {
    char* here = ::getcwd(nullptr, 0);
    if (here == nullptr) return {path};  // nothing to walk from; the write finds its own error
    walk.done = here;
    std::free(here);
    if (walk.done == "/") walk.done.clear();
  }

  const std::size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::deque<std::string> folder;
  if (name.empty() || name == "." || name == "..") {
    // The path names a folder: it is walked whole, and the replace then refuses the folder.
    PushFront(folder, path);
    if (!walk.Follow(std::move(folder))) return {path, walk.refused_link, walk.error};
    return {walk.done.empty() ? "/" : walk.done};
  }

  PushFront(folder, slash == std::string::npos ? std::string() : path.substr(0, slash));
  if (!walk.Follow(std::move(folder))) return {path, walk.refused_link, walk.error};
  const std::string in_folder = walk.done + "/" + name;
  struct stat info {};
  if (::lstat(in_folder.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
    return {walk.links == 0 ? path : in_folder};
  }
  Walk chain = walk;
  if (chain.Follow({name})) return {chain.done};
  if (!chain.refused_link.empty()) return {path, chain.refused_link, 0};
  return {in_folder};  // a link that leads nowhere is replaced by the new file
}

std::string RefusedLinkText(const std::string& link) {
  return "the symbolic link " + Utf8ToCp1252(link) +
         " is in a folder shared by all users and belongs to neither you nor the folder's owner, so it is not "
         "followed";
}

}  // namespace ln40
