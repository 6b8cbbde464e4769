#pragma once
// TByteImage: the bytes of a file read whole into memory.
//
// A large image gets an anonymous mapping of its own, advised for huge pages: reading a
// 13 MB workbook then costs a few dozen page faults instead of thousands, and the memory is
// not filled with zeros by hand before the read overwrites it. Small images, and images
// handed over as a vector, stay in that vector.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ln40 {

class TByteImage {
 public:
  TByteImage() = default;
  explicit TByteImage(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)), size_(bytes_.size()) {}
  // `size` bytes, all zero.
  static TByteImage Zeroed(std::size_t size);

  TByteImage(TByteImage&& other) noexcept;
  TByteImage& operator=(TByteImage&& other) noexcept;
  TByteImage(const TByteImage&) = delete;
  TByteImage& operator=(const TByteImage&) = delete;
  ~TByteImage();

  std::uint8_t* data() { return mapping_ ? mapping_ : bytes_.data(); }
  const std::uint8_t* data() const { return mapping_ ? mapping_ : bytes_.data(); }
  std::size_t size() const { return size_; }
  // Shortens the image or lengthens it with zero bytes.
  void Resize(std::size_t size);

 private:
  void Unmap();

  std::vector<std::uint8_t> bytes_;
  std::uint8_t* mapping_ = nullptr;
  std::size_t mapped_ = 0;  // bytes in the mapping
  std::size_t size_ = 0;
};

// Advises the kernel to back the whole 2 MiB pages of [data, data + size) with huge pages:
// for a large buffer about to be filled, which then costs a few page faults instead of
// thousands. Advice only; memory already touched stays as it is.
void AdviseHugePages(void* data, std::size_t size);

}  // namespace ln40
