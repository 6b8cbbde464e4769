#include "huge_page_heap.h"

#include <malloc.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <thread>

namespace ln40::cli {
namespace {

constexpr std::size_t kStep = std::size_t{256} << 20;     // address space, not memory
constexpr std::size_t kBlockLimit = std::size_t{32} << 20;  // the largest the heap takes
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::uintptr_t RoundUp(std::uintptr_t value, std::uintptr_t to) { return (value + to - 1) / to * to; }

}  // namespace

void UseHugePagesForTheHeap(std::size_t expected) {
  // The heap grows by the step beyond each block that makes it grow, and blocks up to the
  // limit (a table's row list, a file read whole) come from it rather than from mappings of
  // their own.
  if (mallopt(M_TOP_PAD, static_cast<int>(kStep)) == 0) return;
  if (mallopt(M_MMAP_THRESHOLD, static_cast<int>(kBlockLimit)) == 0) return;
  const auto start = reinterpret_cast<std::uintptr_t>(sbrk(0));
  // A block larger than what is left at the top makes the heap grow now, by the step.
  void* volatile block = std::malloc(std::size_t{4} << 20);
  std::free(block);
  const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
  const std::uintptr_t from = RoundUp(start, kHugePage);
  if (end <= from) return;
  madvise(reinterpret_cast<void*>(from), end - from, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
  // The kernel's own prefault writes nothing into the pages, so the heap can be in use on
  // this thread meanwhile. A kernel without it says EINVAL and the pages come in as touched.
  const std::size_t prefault = std::min<std::size_t>(RoundUp(expected, kHugePage), end - from);
  if (prefault > 0) {
    std::thread([from, prefault] { madvise(reinterpret_cast<void*>(from), prefault, MADV_POPULATE_WRITE); }).detach();
  }
#endif
}

std::size_t RegularFileSize(const std::string& file_name) {
  struct stat info {};
  if (::stat(file_name.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return 0;
  return static_cast<std::size_t>(info.st_size);
}

}  // namespace ln40::cli
