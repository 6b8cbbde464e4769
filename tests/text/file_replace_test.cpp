#include "text/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "text/error.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;

class FileReplaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ln40_replaceXXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  static std::string Read(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
  }
  static void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
  // Only the files named are left in the folder: no temporary file stays behind.
  void ExpectOnlyFiles(std::initializer_list<std::string> names) const {
    std::set<std::string> expected(names), found;
    for (const auto& entry : fs::directory_iterator(folder_)) found.insert(entry.path().filename().string());
    EXPECT_EQ(found, expected);
  }

  std::string folder_;
};

TEST_F(FileReplaceTest, CreatesOrReplacesKeepingThePermissions) {
  const std::string target = Path("list.htm");
  EXPECT_FALSE(TryReplaceFile(target, "first"));
  EXPECT_EQ(Read(target), "first");
  ::chmod(target.c_str(), 0640);
  EXPECT_FALSE(TryReplaceFile(target, "second"));
  EXPECT_EQ(Read(target), "second");
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  ExpectOnlyFiles({"list.htm"});
}

TEST_F(FileReplaceTest, PiecesAreWrittenInOrder) {
  const std::string target = Path("book.xls");
  Write(target, "old contents");
  const std::vector<std::string_view> pieces = {"head ", "", "stream ", "padding"};
  EXPECT_FALSE(TryReplaceFile(target, pieces));
  EXPECT_EQ(Read(target), "head stream padding");
  ExpectOnlyFiles({"book.xls"});
}

TEST_F(FileReplaceTest, ALinkStaysALinkToTheReplacedFile) {
  Write(Path("real.xls"), "old");
  fs::create_symlink(Path("real.xls"), Path("link.xls"));
  EXPECT_FALSE(TryReplaceFile(Path("link.xls"), "new"));
  EXPECT_TRUE(fs::is_symlink(Path("link.xls")));
  EXPECT_EQ(Read(Path("real.xls")), "new");
}

// Renaming over a device or a pipe would replace the node itself (root may do that to
// /dev/null); they are written into.
TEST_F(FileReplaceTest, APipeIsWrittenInto) {
  const std::string fifo = Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = Read(fifo); });
  EXPECT_FALSE(TryReplaceFile(fifo, "through the pipe"));
  reader.join();
  EXPECT_EQ(received, "through the pipe");
  struct stat info {};
  ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// A pipe nobody reads would hold the program in open() for ever.
TEST_F(FileReplaceTest, APipeWithoutAReaderFailsInsteadOfWaiting) {
  const std::string fifo = Path("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const FileReplaceFailure failure = TryReplaceFile(fifo, "nobody reads this");
  EXPECT_EQ(failure.error, ENXIO);
  struct stat info {};
  ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(FileReplaceTest, RefusedTargetsStayAsTheyWere) {
  fs::create_directory(Path("folder"));
  EXPECT_EQ(TryReplaceFile(Path("folder"), "x").error, EISDIR);
  EXPECT_TRUE(fs::is_directory(Path("folder")));

  EXPECT_EQ(TryReplaceFile(Path("missing/file.xls"), "x").error, ENOENT);
  EXPECT_THROW(ReplaceFileWith(Path("missing/file.xml"), "x", "Cannot Create file x"), Error);
  ExpectOnlyFiles({"folder"});
}

}  // namespace
}  // namespace ln40
