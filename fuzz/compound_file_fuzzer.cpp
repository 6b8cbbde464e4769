// libFuzzer harness of the compound file reader: open an image from memory, walk every
// storage, read every stream in pieces and whole, then save its kept elements into a new
// container and read that back. Damaged input may only end in ln40::Error; whatever the
// reader accepts must be written again without error and read back unchanged.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "text/error.h"
#include "compound_file/compound_file_format.h"
#include "compound_file/ole2_storage.h"
#include "xls/xls_storage.h"

namespace {

using ln40::TOle2Element;
using ln40::TOle2ElementType;
using ln40::TOle2Storage;
using ln40::TXlsStorage;
using ln40::TXlsStorageList;

void Check(bool condition) {
  if (!condition) std::abort();
}

void Walk(TOle2Storage& storage) {
  for (const TOle2Element& element : storage.ListElements()) {
    if (element.Type == TOle2ElementType::Stream) {
      // A stream the file does not hold is listed but refuses to open; the others go on.
      if (!element.Readable) continue;
      ln40::TOle2Stream stream = storage.OpenStream(element.WideName);
      Check(stream.Size() == element.Size);
      std::vector<std::uint8_t> piece(700);
      std::uint64_t total = 0;
      while (std::size_t got = stream.Read(piece.data(), piece.size())) total += got;
      Check(total == element.Size);
      stream.Seek(element.Size / 3, ln40::TSeekOrigin::Begin);
      const std::vector<std::uint8_t> rest = stream.ReadAll();
      Check(rest.size() == element.Size - element.Size / 3);
    } else if (element.Type == TOle2ElementType::Storage) {
      storage.EnterStorage(element.WideName);
      Walk(storage);
      storage.LeaveStorage();
    }
  }
}

// What of a list is sure to come back from a save and a new reading: streams with contents,
// and storages holding any of them. (A storage whose elements are all empty is written
// empty, and an empty storage is not kept by the next save.)
TXlsStorageList Saved(const TXlsStorageList& list, bool root) {
  TXlsStorageList kept;
  for (const TXlsStorage& entry : list) {
    if (root && ln40::cfb::CompareEntryNames(entry.WideName, u"Workbook") == 0) continue;
    if (!entry.Contents.empty()) {
      kept.push_back(entry);
      kept.back().Elements.clear();
    } else if (TXlsStorageList inner = Saved(entry.Elements, false); !inner.empty()) {
      kept.push_back(entry);
      kept.back().Elements = std::move(inner);
    }
  }
  return kept;
}

// Equal as sets of names at each level: the writer orders elements by the directory's rule,
// which need not be the order of a damaged-but-readable file.
bool SameTree(TXlsStorageList a, TXlsStorageList b) {
  if (a.size() != b.size()) return false;
  auto by_name = [](const TXlsStorage& x, const TXlsStorage& y) { return x.WideName < y.WideName; };
  std::sort(a.begin(), a.end(), by_name);
  std::sort(b.begin(), b.end(), by_name);
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].WideName != b[i].WideName || a[i].Contents != b[i].Contents) return false;
    if (!SameTree(a[i].Elements, b[i].Elements)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TXlsStorageList kept;
  try {
    TOle2Storage storage = TOle2Storage::OpenMemory(std::span<const std::uint8_t>(data, size), "fuzz.xls");
    Walk(storage);
    kept = ReadKeptElements(storage);
    try {
      storage.OpenStream("Workbook").ReadAll();
    } catch (const ln40::Error&) {
    }
  } catch (const ln40::Error&) {
    return 0;
  }

  std::vector<std::uint8_t> image;
  try {
    TOle2Storage saved = TOle2Storage::CreateMemory(image);
    WriteKeptElements(saved, kept);
    saved.Release();
  } catch (const ln40::Error&) {
    return 0;  // names the reader accepts but a new file may not hold (duplicates, '/')
  }
  TOle2Storage reread = TOle2Storage::OpenMemory(std::move(image), "saved.xls");
  Check(SameTree(Saved(ReadKeptElements(reread), true), Saved(kept, true)));
  return 0;
}
