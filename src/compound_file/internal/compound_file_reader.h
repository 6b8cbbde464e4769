#pragma once
// Reading a Compound File Binary container ([MS-CFB]) held whole in memory.
//
// The constructor checks the whole container before anything is read from it: the header,
// the DIFAT, the FAT, the directory, the mini FAT, the mini stream, the directory tree of
// every storage reachable from the root and the sector chain of every stream in it. Every
// sector and mini sector may belong to one chain only, so a chain that loops or overlaps
// another is found, and no chain is followed further than the file has sectors. After a
// successful construction reads cannot fail and never leave the image.
//
// One fault is tolerated because other readers accept it and real files have it: a mini
// stream (the root's stream) whose size or sector chain runs past the end of the file. It
// is read as far as the file holds it; a stream whose mini sectors lie beyond that is
// listed but marked unreadable (DirectoryNode::unreadable), and the rest of the file reads.
//
// Internal to the compound file library; TOle2Storage is the interface. Not thread-safe for writing,
// but a constructed reader may be read from several threads.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "compound_file/byte_image.h"

namespace ln40::cfb {

// One element of the directory that the tree reaches.
struct DirectoryNode {
  std::u16string name;
  std::uint8_t type = 0;  // kTypeRoot, kTypeStorage, kTypeStream or another (ignored) kind
  std::uint64_t size = 0;  // of a stream
  // A storage's elements in enumeration order (the in-order walk of its sibling tree), and
  // the same ids sorted by name for look-ups.
  std::vector<std::uint32_t> children;
  std::vector<std::uint32_t> children_by_name;
  // A stream's data: the image offset of each of its sectors or mini sectors, in order.
  std::vector<std::uint64_t> pieces;
  unsigned piece_shift = 0;
  // Why the stream cannot be read, as the damage message says it; empty when it can.
  std::string unreadable;
};

class CompoundFileReader {
 public:
  // Takes the image; `display_name` names the file in error messages. Throws ln40::Error:
  // "The file "%s" is invalid" when the bytes are not a compound file, "The file "%s" is
  // damaged: ..." when its allocation structures are broken, and "Can't read file "%s": ..."
  // (with the storage's own name) when the elements of a storage cannot be listed.
  CompoundFileReader(TByteImage image, std::string display_name);

  static constexpr std::uint32_t kRootId = 0;

  const DirectoryNode& Node(std::uint32_t id) const { return nodes_[id]; }

  // The child of storage `parent` named `name` exactly, else the first in enumeration
  // order whose name equals it without regard to case, else kNoStream.
  std::uint32_t FindChild(std::uint32_t parent, std::u16string_view name) const;

  // Copies up to `count` bytes of stream `node` from `position`; returns the count copied.
  std::size_t ReadStream(const DirectoryNode& node, std::uint64_t position, void* buffer,
                         std::size_t count) const;
  // The bytes of stream `node` from `position` in the image itself, when its sectors from
  // there on lie one after another (as writers mostly place a large stream); empty
  // otherwise. Valid as long as the reader.
  std::span<const std::uint8_t> ContiguousStream(const DirectoryNode& node, std::uint64_t position) const;

  unsigned SectorShift() const { return sector_shift_; }

 private:
  struct RawEntry;
  class Builder;

  TByteImage image_;
  std::vector<DirectoryNode> nodes_;  // indexed by directory entry id; unreached ids stay empty
  unsigned sector_shift_ = 9;
};

}  // namespace ln40::cfb
