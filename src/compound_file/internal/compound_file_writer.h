#pragma once
// Writing a Compound File Binary container ([MS-CFB]) in one piece from a tree of elements
// held in memory. Internal to src/workbook; TOle2Storage is the interface.
//
// The image is a version 3 container with 512-byte sectors: streams under 4096 bytes go into
// the mini stream, the FAT gets DIFAT sectors when it needs more than the header's 109
// entries, and the elements of every storage form a balanced red-black tree ordered by the
// directory's name comparison. Class identifiers, state bits and times are left zero.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <memory>
#include <string>
#include <vector>

namespace ln40::cfb {

// The contents of a stream being written, in pieces of 1 MiB, so that a growing stream is
// never copied into a bigger block. The first piece grows with the stream, so that the many
// small streams of a file stay small.
class StreamBuffer {
 public:
  std::uint64_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  // Writes at `position`; a gap between the end and `position` reads as zeros.
  void Write(std::uint64_t position, const std::uint8_t* bytes, std::size_t count);
  // Copies up to `count` bytes from `position`; returns the count copied.
  std::size_t Read(std::uint64_t position, std::uint8_t* out, std::size_t count) const;
  // Copies all size() bytes.
  void CopyTo(std::uint8_t* out) const { Read(0, out, static_cast<std::size_t>(size_)); }
  // Hands all size() bytes to `take`, piece by piece, without copying them.
  void ForEachPiece(const std::function<void(std::span<const std::uint8_t>)>& take) const;
  // Takes `bytes` as the whole contents of an empty buffer without copying them (a stream
  // made in one block elsewhere); a later Write copies them into pieces first.
  void Adopt(std::vector<std::uint8_t> bytes);

 private:
  static constexpr unsigned kPieceShift = 20;
  static constexpr std::size_t kPieceSize = std::size_t{1} << kPieceShift;

  void Reserve(std::uint64_t end);
  void Fill(std::uint64_t position, const std::uint8_t* bytes, std::size_t count);  // null bytes: zeros

  std::vector<std::unique_ptr<std::uint8_t[]>> pieces_;
  std::vector<std::uint8_t> adopted_;  // the contents instead of the pieces, when adopted
  std::size_t first_capacity_ = 0;
  std::uint64_t size_ = 0;
};

struct NewElement {
  std::u16string name;
  bool is_storage = false;
  StreamBuffer data;                     // of a stream
  std::vector<std::uint32_t> children;   // of a storage: indices into the element list
};

// `elements[0]` is the root storage; every other element is the child of exactly one
// storage, and names are valid and unique within their storage (the caller sees to that).
// Replaces the contents of `image`, reusing its capacity. Throws ln40::Error when a stream
// is too large for a version 3 container.
void WriteCompoundFile(const std::vector<NewElement>& elements, std::vector<std::uint8_t>& image);

// The same file in two parts, so that the large streams are never copied: `head` receives
// everything up to the first sector of the large streams (header, FAT, DIFAT, directory,
// mini FAT, mini stream), and `tail` then the large streams' bytes with their padding, in
// file order.
void WriteCompoundFile(const std::vector<NewElement>& elements, std::vector<std::uint8_t>& head,
                       const std::function<void(std::span<const std::uint8_t>)>& tail);

}  // namespace ln40::cfb
