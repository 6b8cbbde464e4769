// Containers we write are read by an independent reader, python3-olefile, exactly as we
// wrote them: every element, every byte, and without a defect olefile can name. The test is
// skipped where Debian's python3-olefile is not installed.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "cfb_test_support.h"
#include "text/codepage.h"
#include "compound_file/ole2_storage.h"

namespace ln40 {
namespace {

using test::Pattern;

// The Debian interpreter: only it sees Debian's python3-* packages.
const char* const kPython = "/usr/bin/python3";

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Writes one container and the manifest lines that describe it.
class ManifestWriter {
 public:
  ManifestWriter(std::ofstream& manifest, const std::string& file)
      : manifest_(manifest), file_(file), storage_(TOle2Storage::CreateFile(file)) {}

  void AddStream(const std::u16string& name, const std::vector<std::uint8_t>& bytes) {
    storage_.OpenStream(name).Write(bytes.data(), bytes.size());
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", test::Crc32(bytes));
    manifest_ << file_ << "\tstream\t" << Path(name) << '\t' << bytes.size() << '\t' << crc << '\n';
  }
  void Enter(const std::u16string& name) {
    storage_.EnterStorage(name);
    manifest_ << file_ << "\tstorage\t" << Path(name) << '\n';
    path_.push_back(Utf8(name));
  }
  void Leave() {
    storage_.LeaveStorage();
    path_.pop_back();
  }
  void Release() { storage_.Release(); }

 private:
  std::string Path(const std::u16string& name) const {
    std::string path;
    for (const std::string& part : path_) path += part + "/";
    return path + Utf8(name);
  }

  std::ofstream& manifest_;
  std::string file_;
  TOle2Storage storage_;
  std::vector<std::string> path_;
};

TEST(OlefileCheckTest, OlefileReadsWhatWeWrite) {
  if (std::system((std::string(kPython) + " -c 'import olefile' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "python3-olefile is not installed for " << kPython;
  }
  test::TempFolder folder;
  const std::string manifest_path = folder.File("manifest.tsv");
  std::ofstream manifest(manifest_path);

  {
    ManifestWriter book(manifest, folder.File("mixed.xls"));
    book.AddStream(u"Workbook", Pattern(4096, 1));
    book.AddStream(u"Exact4095", Pattern(4095, 2));
    book.AddStream(u"Empty", {});
    book.AddStream(u"\u0005SummaryInformation", Pattern(200, 3));
    book.AddStream(u"\u0005DocumentSummaryInformation", Pattern(4097, 4));
    book.Enter(u"_VBA_PROJECT_CUR");
    book.AddStream(u"PROJECT", Pattern(300, 5));
    book.Enter(u"VBA");
    book.AddStream(u"dir", Pattern(700, 6));
    book.AddStream(u"\u041B\u0438\u0441\u04421", Pattern(5000, 7));  // "Лист1"
    book.Leave();
    book.Enter(u"EmptyStorage");
    book.Leave();
    book.Leave();
    // Enough elements for a directory of several sectors and a deep tree.
    for (int i = 0; i < 60; ++i) {
      book.AddStream(u"Item" + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)) +
                         std::u16string(1, static_cast<char16_t>(u'a' + i / 26)),
                     Pattern(static_cast<std::size_t>(i) * 37, static_cast<std::uint8_t>(i)));
    }
    book.Release();
  }
  {
    // Over 7 MB: more than 109 FAT sectors, so the FAT is listed in DIFAT sectors too.
    ManifestWriter book(manifest, folder.File("large.xls"));
    book.AddStream(u"Workbook", Pattern(7'400'000, 8));
    book.AddStream(u"\u0005SummaryInformation", Pattern(180, 9));
    book.Release();
  }
  {
    ManifestWriter book(manifest, folder.File("small.xls"));
    book.AddStream(u"Workbook", Pattern(100, 10));
    book.Release();
  }
  manifest.close();

  const std::string command = std::string(kPython) + " " + LN40_OLEFILE_CHECK + " " + manifest_path;
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << command;
  if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "python3-olefile is not installed";
  EXPECT_EQ(WEXITSTATUS(status), 0) << command;
}

}  // namespace
}  // namespace ln40
