#include "compound_file/byte_image.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

namespace ln40 {

namespace {

// Below this an image is an ordinary allocation: a mapping of its own would not pay.
constexpr std::size_t kMappedFrom = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

}  // namespace

void AdviseHugePages(void* data, std::size_t size) {
#ifdef MADV_HUGEPAGE
  const auto begin = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (begin + kHugePage - 1) / kHugePage * kHugePage;
  const std::uintptr_t last = (begin + size) / kHugePage * kHugePage;
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

TByteImage TByteImage::Zeroed(std::size_t size) {
  TByteImage image;
  if (size < kMappedFrom) {
    image.bytes_.resize(size);
    image.size_ = size;
    return image;
  }
  // Whole huge pages, so that the last one can be one too. A fresh anonymous mapping reads
  // as zeros; the kernel supplies its pages as they are first touched.
  const std::size_t mapped = (size + kHugePage - 1) / kHugePage * kHugePage;
  void* at = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (at == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  ::madvise(at, mapped, MADV_HUGEPAGE);  // advice only: without huge pages it works the same
#endif
  image.mapping_ = static_cast<std::uint8_t*>(at);
  image.mapped_ = mapped;
  image.size_ = size;
  return image;
}

TByteImage::TByteImage(TByteImage&& other) noexcept
    : bytes_(std::move(other.bytes_)),
      mapping_(std::exchange(other.mapping_, nullptr)),
      mapped_(std::exchange(other.mapped_, 0)),
      size_(std::exchange(other.size_, 0)) {}

TByteImage& TByteImage::operator=(TByteImage&& other) noexcept {
  if (this != &other) {
    Unmap();
    bytes_ = std::move(other.bytes_);
    mapping_ = std::exchange(other.mapping_, nullptr);
    mapped_ = std::exchange(other.mapped_, 0);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

TByteImage::~TByteImage() { Unmap(); }

void TByteImage::Unmap() {
  if (mapping_) ::munmap(mapping_, mapped_);
  mapping_ = nullptr;
  mapped_ = 0;
}

void TByteImage::Resize(std::size_t size) {
  if (!mapping_) {
    bytes_.resize(size);
  } else if (size <= mapped_) {
    // Bytes given up by an earlier shortening are zeroed again when the image grows back.
    if (size > size_) std::memset(mapping_ + size_, 0, size - size_);
  } else {
    TByteImage grown = Zeroed(size);
    std::memcpy(grown.data(), mapping_, size_);
    *this = std::move(grown);
  }
  size_ = size;
}

}  // namespace ln40
