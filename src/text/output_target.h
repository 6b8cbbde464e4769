#pragma once
// Which file a write to a path replaces. The path, or a folder on it, may be a symbolic link;
// links are followed by the rule Linux applies with fs.protected_symlinks on: in a folder
// that every user may write to and that has the sticky bit (such as /tmp), a link is
// followed only when it belongs to the user or to the folder's owner. Otherwise anyone could
// plant a link there and make the program, run by root, overwrite a file of their choosing.
// Elsewhere a link is followed wherever it leads, so a user's own link to a file on another
// disk keeps working. File names are UTF-8.
#include <sys/types.h>

#include <string>
#include <utility>

namespace ln40 {

// What the rule looks at: the folder that holds the link, the link's owner and the user
// (the effective user id) who would follow it.
struct LinkFollowFacts {
  mode_t folder_mode = 0;
  uid_t folder_owner = 0;
  uid_t link_owner = 0;
  uid_t user = 0;
};

// True unless the folder is world-writable and sticky and the link belongs to neither the
// user nor the folder's owner.
bool MayFollowLink(const LinkFollowFacts& facts);

struct OutputTarget {
  OutputTarget(std::string file, std::string link = {}, int error_number = 0)
      : path(std::move(file)), refused_link(std::move(link)), error(error_number) {}

  // The file to replace: `path` itself when no link is on the way, otherwise the file its
  // links lead to. A final link that leads nowhere (dangling, or a loop) is itself the
  // file to replace, as a new file takes its place.
  std::string path;
  // The link on the way that the rule does not let us follow; empty when none.
  std::string refused_link;
  // errno when a folder on the path cannot be followed (missing, a loop, no permission).
  int error = 0;
};

// Follows the links of `path`, every link of every chain and of the folders on the way,
// checking each against the rule above.
OutputTarget ResolveOutputTarget(const std::string& path);

// Why a write is refused: names the link and the rule.
std::string RefusedLinkText(const std::string& link);

}  // namespace ln40
