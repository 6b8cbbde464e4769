#include "xls/xls_storage.h"

#include "text/codepage.h"
#include "text/error.h"
#include "compound_file/compound_file_format.h"
#include "workbook_stream.h"

namespace ln40 {
namespace {

constexpr std::u16string_view kWorkbookStream = u"Workbook";

bool IsWorkbookStream(const std::u16string& name) { return cfb::CompareEntryNames(name, kWorkbookStream) == 0; }

// Leaves an entered storage again also when reading or writing inside it fails.
class EnteredStorage {
 public:
  EnteredStorage(TOle2Storage& storage, const std::u16string& name) : storage_(storage) { storage_.EnterStorage(name); }
  ~EnteredStorage() {
    try {
      storage_.LeaveStorage();
    } catch (const Error&) {
      // Released meanwhile: there is nothing left to leave.
    }
  }
  EnteredStorage(const EnteredStorage&) = delete;
  EnteredStorage& operator=(const EnteredStorage&) = delete;

 private:
  TOle2Storage& storage_;
};

TXlsStorageList ReadLevel(TOle2Storage& storage, bool root) {
  TXlsStorageList kept;
  // The stream the workbook is read from, "Book" in some files, is written as "Workbook".
  const std::u16string read_as_workbook = root ? WorkbookStreamName(storage) : std::u16string();
  for (const TOle2Element& element : storage.ListElements()) {
    if (element.Type == TOle2ElementType::Stream) {
      if (root && (IsWorkbookStream(element.WideName) || element.WideName == read_as_workbook)) continue;
      if (!element.Readable) continue;  // its data is not in the file: nothing to keep
      TXlsStorage& entry = kept.emplace_back();
      entry.Name = element.Name;
      entry.WideName = element.WideName;
      entry.Contents = storage.OpenStream(element.WideName).ReadAll();
    } else if (element.Type == TOle2ElementType::Storage) {
      TXlsStorage& entry = kept.emplace_back();
      entry.Name = element.Name;
      entry.WideName = element.WideName;
      EnteredStorage entered(storage, element.WideName);
      entry.Elements = ReadLevel(storage, false);
    }
  }
  return kept;
}

void WriteLevel(TOle2Storage& storage, const TXlsStorageList& elements, bool root) {
  for (const TXlsStorage& entry : elements) {
    const std::u16string name = entry.WideName.empty() ? Cp1252ToUtf16(entry.Name) : entry.WideName;
    if (root && IsWorkbookStream(name)) continue;
    if (!entry.Contents.empty()) {
      storage.OpenStream(name).Write(entry.Contents.data(), entry.Contents.size());
    } else if (!entry.Elements.empty()) {
      EnteredStorage entered(storage, name);
      WriteLevel(storage, entry.Elements, false);
    }
  }
}

}  // namespace

TXlsStorageList ReadKeptElements(TOle2Storage& storage) {
  if (storage.Mode() != TOle2Mode::Read) throw Error("Kept elements are read from a file open for reading");
  return ReadLevel(storage, storage.AtRoot());
}

void WriteKeptElements(TOle2Storage& storage, const TXlsStorageList& elements) {
  if (storage.Mode() != TOle2Mode::Create) throw Error("Kept elements are written into a file being created");
  WriteLevel(storage, elements, storage.AtRoot());
}

}  // namespace ln40
