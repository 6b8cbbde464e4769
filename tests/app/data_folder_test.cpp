#include "app/data_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace ln40 {
namespace {

namespace fs = std::filesystem;

// Where the program keeps its files for a given executable folder, with XDG_DATA_HOME and
// HOME pointing into a scratch folder.
class DataFolderTest : public ::testing::Test {
 protected:
  DataFolderTest() : scratch_(fs::temp_directory_path() / ("ln40datafolder" + std::to_string(::getpid()))) {
    fs::remove_all(scratch_);
    fs::create_directories(scratch_ / "portable" / "bin");
    fs::create_directories(scratch_ / "home");
    SaveVariable("XDG_DATA_HOME", saved_xdg_);
    SaveVariable("HOME", saved_home_);
    ::setenv("HOME", (scratch_ / "home").c_str(), 1);
  }
  ~DataFolderTest() override {
    RestoreVariable("XDG_DATA_HOME", saved_xdg_);
    RestoreVariable("HOME", saved_home_);
    fs::remove_all(scratch_);
  }

  static void SaveVariable(const char* name, std::optional<std::string>& saved) {
    if (const char* value = std::getenv(name)) saved = value;
  }
  static void RestoreVariable(const char* name, const std::optional<std::string>& saved) {
    if (saved) {
      ::setenv(name, saved->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }

  fs::path scratch_;
  std::optional<std::string> saved_xdg_, saved_home_;
};

TEST_F(DataFolderTest, InstalledProgramsKeepTheirFilesInTheUsersDataFolder) {
  const std::string xdg = (scratch_ / "xdg").string();
  ::setenv("XDG_DATA_HOME", xdg.c_str(), 1);
  const std::string home_default = (scratch_ / "home" / ".local" / "share" / "ln40util").string() + "/";
  struct Case {
    const char* what;
    std::string executable_folder;
    const char* xdg_data_home;  // nullptr: unset
    std::string expected;
  };
  const Case cases[] = {
      // /usr/bin is writable when root runs the program; it is still no place for logs.
      {"installed in /usr/bin", "/usr/bin/", xdg.c_str(), xdg + "/ln40util/"},
      {"installed in /usr/local/bin", "/usr/local/bin", xdg.c_str(), xdg + "/ln40util/"},
      {"installed under a prefix of its own", (scratch_ / "portable" / "bin").string(), xdg.c_str(),
       xdg + "/ln40util/"},
      {"a writable copy of its own", (scratch_ / "portable").string(), xdg.c_str(),
       (scratch_ / "portable").string() + "/"},
      {"no XDG_DATA_HOME", "/usr/bin/", nullptr, home_default},
      {"a relative XDG_DATA_HOME is ignored", "/usr/bin/", "relative/data", home_default},
  };
  for (const Case& c : cases) {
    if (c.xdg_data_home) {
      ::setenv("XDG_DATA_HOME", c.xdg_data_home, 1);
    } else {
      ::unsetenv("XDG_DATA_HOME");
    }
    EXPECT_EQ(ResolveDataFolder(std::nullopt, c.executable_folder), c.expected) << c.what;
    EXPECT_TRUE(fs::is_directory(c.expected)) << c.what;
  }
  EXPECT_FALSE(fs::exists("relative/data"));
}

TEST_F(DataFolderTest, TheChosenFolderWinsAndIsCreated) {
  const std::string chosen = (scratch_ / "race day" / "data").string();
  EXPECT_EQ(ResolveDataFolder(chosen, "/usr/bin/"), chosen + "/");
  EXPECT_TRUE(fs::is_directory(chosen));
}

}  // namespace
}  // namespace ln40
