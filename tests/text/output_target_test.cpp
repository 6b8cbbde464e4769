#include "text/output_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "text/error.h"
#include "text/file_replace.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;

constexpr mode_t kShared = S_ISVTX | 0777;  // as /tmp
constexpr uid_t kUser = 1000;
constexpr uid_t kOther = 1001;
constexpr uid_t kRoot = 0;

TEST(MayFollowLinkTest, FollowsTheRuleOfSharedStickyFolders) {
  struct Case {
    const char* what;
    LinkFollowFacts facts;
    bool followed;
  };
  const Case cases[] = {
      {"own link in /tmp", {kShared, kRoot, kUser, kUser}, true},
      {"another user's link in /tmp", {kShared, kRoot, kOther, kUser}, false},
      {"another user's link in /tmp, followed by root", {kShared, kRoot, kOther, kRoot}, false},
      {"the folder owner's link", {kShared, kOther, kOther, kUser}, true},
      {"root's link in root's /tmp", {kShared, kRoot, kRoot, kUser}, true},
      {"sticky but not world-writable", {S_ISVTX | 0775, kRoot, kOther, kUser}, true},
      {"world-writable but not sticky", {0777, kRoot, kOther, kUser}, true},
      {"sticky and writable by others only", {S_ISVTX | 0002, kRoot, kOther, kUser}, false},
      {"a private folder", {0700, kUser, kOther, kUser}, true},
  };
  for (const Case& c : cases) EXPECT_EQ(MayFollowLink(c.facts), c.followed) << c.what;
}

// Links in a sticky, world-writable folder of the test's own, as /tmp is.
class SharedFolderLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ln40_linksXXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    ASSERT_EQ(::chmod(folder_.c_str(), 01777), 0);
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
  static bool IsRoot() { return ::geteuid() == 0; }
  // Gives a link to another user; only root can.
  static void GiveAway(const std::string& path, uid_t owner = kNobody) {
    ASSERT_EQ(::lchown(path.c_str(), owner, static_cast<gid_t>(-1)), 0) << path;
  }
  std::size_t FileCount() const {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_)) ++count;
    return count;
  }

  static constexpr uid_t kNobody = 65534;
  std::string folder_;
};

TEST_F(SharedFolderLinkTest, OwnLinkIsFollowedAndStaysALink) {
  Write(Path("real.csv"), "old");
  fs::create_symlink(Path("real.csv"), Path("out.csv"));
  EXPECT_FALSE(TryReplaceFile(Path("out.csv"), "new"));
  EXPECT_TRUE(fs::is_symlink(Path("out.csv")));
  EXPECT_EQ(Read(Path("real.csv")), "new");
  EXPECT_EQ(FileCount(), 2u);
}

TEST_F(SharedFolderLinkTest, PlantedLinkIsRefusedAndNothingIsWritten) {
  if (!IsRoot()) GTEST_SKIP() << "giving a link to another user (lchown) needs root";
  fs::create_directory(Path("private"));
  Write(Path("private/passwd"), "root:x:0:0");
  // Planted by another user: a link to the victim, and a chain through that link.
  fs::create_symlink(Path("private/passwd"), Path("table.csv"));
  GiveAway(Path("table.csv"));
  fs::create_symlink(Path("table.csv"), Path("mine.csv"));

  for (const char* name : {"table.csv", "mine.csv"}) {
    const FileReplaceFailure failure = TryReplaceFile(Path(name), "overwritten");
    EXPECT_EQ(failure.error, EACCES) << name;
    EXPECT_EQ(failure.refused_link, Path("table.csv")) << name;
    EXPECT_NE(failure.Reason().find(Path("table.csv")), std::string::npos) << failure.Reason();
  }
  try {
    ReplaceFileWith(Path("table.csv"), "overwritten", "Cannot Create file " + Path("table.csv"));
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot Create file " + Path("table.csv") + ": " +
                                             RefusedLinkText(Path("table.csv")));
  }
  EXPECT_EQ(Read(Path("private/passwd")), "root:x:0:0");
  EXPECT_TRUE(fs::is_symlink(Path("table.csv")));
  EXPECT_EQ(FileCount(), 3u);  // no temporary file beside either
}

TEST_F(SharedFolderLinkTest, PlantedLinkToAFolderOnThePathIsRefused) {
  if (!IsRoot()) GTEST_SKIP() << "giving a link to another user (lchown) needs root";
  fs::create_directory(Path("etc"));
  fs::create_symlink(Path("etc"), Path("reports"));
  GiveAway(Path("reports"));
  const FileReplaceFailure failure = TryReplaceFile(Path("reports/../reports/list.htm"), "page");
  EXPECT_EQ(failure.refused_link, Path("reports"));
  EXPECT_TRUE(fs::is_empty(Path("etc")));
}

TEST_F(SharedFolderLinkTest, FolderOwnersLinkIsFollowed) {
  if (!IsRoot()) GTEST_SKIP() << "giving a folder and a link to another user (chown) needs root";
  ASSERT_EQ(::chown(folder_.c_str(), kNobody, static_cast<gid_t>(-1)), 0);
  Write(Path("real.csv"), "old");
  fs::create_symlink("real.csv", Path("out.csv"));  // a relative link
  GiveAway(Path("out.csv"));
  EXPECT_FALSE(TryReplaceFile(Path("out.csv"), "new"));
  EXPECT_EQ(Read(Path("real.csv")), "new");
  EXPECT_TRUE(fs::is_symlink(Path("out.csv")));
}

TEST_F(SharedFolderLinkTest, AnotherUsersLinkOutsideASharedFolderIsFollowed) {
  if (!IsRoot()) GTEST_SKIP() << "giving a link to another user (lchown) needs root";
  ASSERT_EQ(::chmod(folder_.c_str(), 0700), 0);
  Write(Path("real.csv"), "old");
  fs::create_symlink(Path("real.csv"), Path("out.csv"));
  GiveAway(Path("out.csv"));
  EXPECT_FALSE(TryReplaceFile(Path("out.csv"), "new"));
  EXPECT_EQ(Read(Path("real.csv")), "new");
}

TEST_F(SharedFolderLinkTest, LinkThatLeadsNowhereIsReplacedByTheFile) {
  fs::create_symlink(Path("missing/real.csv"), Path("out.csv"));
  EXPECT_FALSE(TryReplaceFile(Path("out.csv"), "new"));
  EXPECT_FALSE(fs::is_symlink(Path("out.csv")));
  EXPECT_EQ(Read(Path("out.csv")), "new");
}

TEST_F(SharedFolderLinkTest, ResolvesRelativeNamesAndLinkChains) {
  fs::create_directories(Path("a/b"));
  Write(Path("a/b/file"), "x");
  fs::create_symlink("a/b", Path("ab"));             // relative, to a folder
  fs::create_symlink("../ab/file", Path("a/link"));  // relative, through a folder link
  EXPECT_EQ(ResolveOutputTarget(Path("a/link")).path, Path("a/b/file"));
  EXPECT_EQ(ResolveOutputTarget(Path("ab/./file")).path, Path("a/b/file"));
  EXPECT_EQ(ResolveOutputTarget(Path("ab/new")).path, Path("a/b/new"));
  EXPECT_EQ(ResolveOutputTarget(Path("a/b/file")).path, Path("a/b/file"));
  EXPECT_EQ(ResolveOutputTarget(Path("missing/file")).error, ENOENT);
  EXPECT_EQ(ResolveOutputTarget("relative.csv").path, "relative.csv");  // no link: as given

  fs::create_symlink(Path("loop2"), Path("loop1"));
  fs::create_symlink(Path("loop1"), Path("loop2"));
  EXPECT_EQ(ResolveOutputTarget(Path("loop1")).path, Path("loop1"));  // replaced itself
  EXPECT_EQ(ResolveOutputTarget(Path("loop1/file")).error, ELOOP);
}

}  // namespace
}  // namespace ln40
