#include "workbook_stream.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>

#include "text/codepage.h"
#include "text/error.h"
#include "text/regular_file.h"
#include "compound_file/compound_file_format.h"
#include "biff_records.h"

namespace ln40 {
namespace {

constexpr std::u16string_view kWorkbookNames[] = {u"Workbook", u"Book"};

// The BOF record ([MS-XLS] 2.4.21) opens every workbook stream. BIFF5 to BIFF8 give its
// version in the first field: 0x0500 for Excel 5.0 and 95, 0x0600 for Excel 97 and later.
// BIFF2 to BIFF4 (Excel 2.1 to 4.0) have a BOF record of their own id each.
constexpr std::uint16_t kBiff5 = 0x0500;
constexpr std::uint16_t kOlderBofs[] = {0x0009, 0x0209, 0x0409};
constexpr std::size_t kBofHead = 8;  // id, size, version, type

// Refuses `head`, the first bytes of a workbook stream or file, when it opens a workbook
// of an Excel version before 97.
void RefuseOlderExcel(std::span<const std::uint8_t> head, const std::string& file_name) {
  if (head.size() < kBofHead) return;
  const std::uint16_t id = xls::Get16(head.data());
  const std::uint16_t size = xls::Get16(head.data() + 2);
  const std::uint16_t version = xls::Get16(head.data() + 4);
  const char* excel = nullptr;
  if (id == xls::rid::kBof && size >= 4 && version == kBiff5) excel = "Excel 5.0/95";
  for (std::uint16_t older : kOlderBofs) {
    if (id == older && size >= 4 && size <= 16) excel = "Excel 4.0 or older";
  }
  if (!excel) return;
  throw Error("\"" + file_name + "\" is an " + excel +
              " workbook; save it as Excel 97-2003 or newer and open it again");
}

// The first bytes of a file, as many as there are up to kBofHead; none when it cannot be read.
std::vector<std::uint8_t> FileHead(const std::string& file_name) {
  const int fd = OpenForReading(Cp1252ToUtf8(file_name));
  if (fd < 0) return {};
  std::array<std::uint8_t, kBofHead> head{};
  std::size_t got = 0;
  struct stat info {};
  // Only a regular file: the reader refused anything else already, and a pipe would wait.
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  while (regular && got < head.size()) {
    const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return std::vector<std::uint8_t>(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(got));
}

}  // namespace

TOle2Storage OpenWorkbookContainer(const std::string& file_name) {
  try {
    return TOle2Storage::OpenFile(file_name);
  } catch (const Error&) {
    RefuseOlderExcel(FileHead(file_name), file_name);
    throw;
  }
}

TOle2Storage OpenWorkbookContainer(std::span<const std::uint8_t> image, const std::string& display_name) {
  try {
    return TOle2Storage::OpenMemory(image, display_name);
  } catch (const Error&) {
    RefuseOlderExcel(image, display_name);
    throw;
  }
}

std::u16string WorkbookStreamName(const TOle2Storage& storage) {
  const std::vector<TOle2Element> elements = storage.ListElements();
  for (std::u16string_view name : kWorkbookNames) {
    // As the container looks a name up: the exact name first, else the first in another case.
    const TOle2Element* found = nullptr;
    for (const TOle2Element& element : elements) {
      if (element.Type != TOle2ElementType::Stream || cfb::CompareEntryNames(element.WideName, name) != 0) continue;
      if (element.WideName == name) return element.WideName;
      if (!found) found = &element;
    }
    if (found) return found->WideName;
  }
  return {};
}

std::span<const std::uint8_t> ReadWorkbookStream(TOle2Storage& storage, std::vector<std::uint8_t>& copy) {
  const std::u16string name = WorkbookStreamName(storage);
  if (name.empty()) throw Error("Workbook could not be found.");
  TOle2Stream stream = storage.OpenStream(name);
  std::array<std::uint8_t, kBofHead> head{};
  RefuseOlderExcel(std::span(head.data(), stream.Read(head.data(), head.size())), storage.CurrentStorageName());
  stream.Seek(0, TSeekOrigin::Begin);
  if (const std::span<const std::uint8_t> view = stream.View(); !view.empty()) return view;
  copy = stream.ReadAll();
  return copy;
}

}  // namespace ln40
