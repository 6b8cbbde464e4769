#include "app/settings_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "text/error.h"

namespace ln40 {
namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ln40settingsXXXXXX";
    folder_ = mkdtemp(pattern);
    path_ = folder_ + "/vexa/ln40util.conf";
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  void WriteStore(const std::string& text) {
    std::filesystem::create_directories(folder_ + "/vexa");
    std::ofstream(path_, std::ios::binary) << text;
  }
  std::string ReadStore() const {
    std::ifstream file(path_, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  std::string folder_;
  std::string path_;
};

TEST_F(SettingsStoreTest, FirstRunKeepsTheDefaultsAndCloseStoresAllTen) {
  TSettingsFile store(path_);
  WindowOptions options;
  LoadSettings(store, options);
  EXPECT_TRUE(std::filesystem::exists(path_));  // the store is created at the first load
  EXPECT_FALSE(options.cbtidel);
  EXPECT_FALSE(options.cbclear);
  EXPECT_TRUE(options.cbautosave && options.cbchronex && options.cbbfg && options.cbtrim && options.cbinsert);
  EXPECT_EQ(options.MaskEditEx1, "00:00:00");
  EXPECT_EQ(options.Edit3, "Test race");
  EXPECT_EQ(options.Edit2, "10.10.04");

  options.cbtidel = true;
  options.Edit3 = "Birkebeiner \"\xF8st\"";
  SaveSettings(store, options);
  TSettingsFile reread(path_);
  ASSERT_TRUE(reread.Open());
  for (const SettingValue& value : kSettingValues) {
    EXPECT_TRUE(value.boolean ? reread.HasInteger(value.name) : reread.HasText(value.name)) << value.name;
  }

  WindowOptions next_run;
  LoadSettings(reread, next_run);
  EXPECT_TRUE(next_run.cbtidel);
  EXPECT_EQ(next_run.Edit3, "Birkebeiner \"\xF8st\"");
}

TEST_F(SettingsStoreTest, OnlyTheFiveBooleansStored) {
  WriteStore("cbtidel=dword:00000001\ncbautosave=dword:0\ncbclear=dword:1\ncbchronex=dword:0\ncbbfg=dword:0\n");
  TSettingsFile store(path_);
  WindowOptions options;
  options.cbtrim = false;  // what the box shows before the load
  LoadSettings(store, options);
  EXPECT_TRUE(options.cbtidel);
  EXPECT_FALSE(options.cbautosave);
  EXPECT_TRUE(options.cbclear);
  EXPECT_FALSE(options.cbchronex);
  EXPECT_FALSE(options.cbbfg);
  EXPECT_EQ(options.MaskEditEx1, "");  // a missing text reads as empty
  EXPECT_EQ(options.Edit3, "");
  EXPECT_EQ(options.Edit2, "");
  EXPECT_FALSE(options.cbtrim);  // the load stopped at cbtrim
  EXPECT_TRUE(options.cbinsert);
}

TEST_F(SettingsStoreTest, WronglyTypedValuesStopTheLoad) {
  WriteStore("cbtidel=dword:1\ncbautosave=sz:\"1\"\ncbclear=dword:1\n");
  TSettingsFile store(path_);
  WindowOptions options;
  LoadSettings(store, options);
  EXPECT_TRUE(options.cbtidel);
  EXPECT_TRUE(options.cbautosave);
  EXPECT_FALSE(options.cbclear);

  WriteStore(
      "cbtidel=dword:0\ncbautosave=dword:1\ncbclear=dword:0\ncbchronex=dword:1\ncbbfg=dword:1\n"
      "MaskEditEx1=dword:5\nEdit3=sz:\"X\"\n");
  WindowOptions second;
  second.MaskEditEx1 = "10:00:00";
  LoadSettings(store, second);
  EXPECT_EQ(second.MaskEditEx1, "10:00:00");
  EXPECT_EQ(second.Edit3, "Test race");
}

TEST_F(SettingsStoreTest, UnwritableStoreAtCloseWritesNothing) {
  if (geteuid() == 0) {
    // root writes anywhere; make the store's folder a file instead.
    std::ofstream(folder_ + "/vexa", std::ios::binary) << "not a folder";
  } else {
    std::filesystem::create_directories(folder_ + "/vexa");
    chmod((folder_ + "/vexa").c_str(), 0500);
  }
  TSettingsFile store(path_);
  WindowOptions options;
  try {
    SaveSettings(store, options);
    FAIL() << "the save should fail";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Failed to set data for 'cbtidel'");
  }
  chmod((folder_ + "/vexa").c_str(), 0700);
  EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(SettingsStoreTest, SaveKeepsTheMailAddressAndOddTexts) {
  TSettingsFile store(path_);
  WriteMailAddress(store, "timing@example.org");
  WindowOptions options;
  options.Edit2 = "line\r\nbreak\\ \x01";
  SaveSettings(store, options);
  EXPECT_EQ(ReadMailAddress(store), "timing@example.org");
  EXPECT_EQ(ReadStore().find(".tmp"), std::string::npos);
  WindowOptions loaded;
  LoadSettings(store, loaded);
  EXPECT_EQ(loaded.Edit2, "line\r\nbreak\\ \x01");
}

}  // namespace
}  // namespace ln40
