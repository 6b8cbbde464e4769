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
  StationOptions options;
  LoadSettings(store, options);
  EXPECT_TRUE(std::filesystem::exists(path_));  // the store is created at the first load
  EXPECT_FALSE(options.keepMilliseconds);
  EXPECT_FALSE(options.clearOnOpen);
  EXPECT_TRUE(options.autosave && options.chronexLog && options.bfgLog && options.removeLeadingZeros && options.insertUnknownRunners);
  EXPECT_EQ(options.nulltime, "00:00:00");
  EXPECT_EQ(options.raceName, "Test race");
  EXPECT_EQ(options.subName, "10.10.04");

  options.keepMilliseconds = true;
  options.raceName = "Birkebeiner \"\xF8st\"";
  SaveSettings(store, options);
  TSettingsFile reread(path_);
  ASSERT_TRUE(reread.Open());
  // The names and types every earlier version stored.
  for (const char* box : {"cbtidel", "cbautosave", "cbclear", "cbchronex", "cbbfg", "cbtrim", "cbinsert"}) {
    EXPECT_TRUE(reread.HasInteger(box)) << box;
  }
  for (const char* field : {"MaskEditEx1", "Edit3", "Edit2"}) EXPECT_TRUE(reread.HasText(field)) << field;

  StationOptions next_run;
  LoadSettings(reread, next_run);
  EXPECT_TRUE(next_run.keepMilliseconds);
  EXPECT_EQ(next_run.raceName, "Birkebeiner \"\xF8st\"");
}

TEST_F(SettingsStoreTest, OnlyTheFiveBooleansStored) {
  WriteStore("cbtidel=dword:00000001\ncbautosave=dword:0\ncbclear=dword:1\ncbchronex=dword:0\ncbbfg=dword:0\n");
  TSettingsFile store(path_);
  StationOptions options;
  options.removeLeadingZeros = false;  // what the box shows before the load
  LoadSettings(store, options);
  EXPECT_TRUE(options.keepMilliseconds);
  EXPECT_FALSE(options.autosave);
  EXPECT_TRUE(options.clearOnOpen);
  EXPECT_FALSE(options.chronexLog);
  EXPECT_FALSE(options.bfgLog);
  EXPECT_EQ(options.nulltime, "");  // a missing text reads as empty
  EXPECT_EQ(options.raceName, "");
  EXPECT_EQ(options.subName, "");
  EXPECT_FALSE(options.removeLeadingZeros);  // the load stopped at cbtrim
  EXPECT_TRUE(options.insertUnknownRunners);
}

TEST_F(SettingsStoreTest, WronglyTypedValuesStopTheLoad) {
  WriteStore("cbtidel=dword:1\ncbautosave=sz:\"1\"\ncbclear=dword:1\n");
  TSettingsFile store(path_);
  StationOptions options;
  LoadSettings(store, options);
  EXPECT_TRUE(options.keepMilliseconds);
  EXPECT_TRUE(options.autosave);
  EXPECT_FALSE(options.clearOnOpen);

  WriteStore(
      "cbtidel=dword:0\ncbautosave=dword:1\ncbclear=dword:0\ncbchronex=dword:1\ncbbfg=dword:1\n"
      "MaskEditEx1=dword:5\nEdit3=sz:\"X\"\n");
  StationOptions second;
  second.nulltime = "10:00:00";
  LoadSettings(store, second);
  EXPECT_EQ(second.nulltime, "10:00:00");
  EXPECT_EQ(second.raceName, "Test race");
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
  StationOptions options;
  try {
    SaveSettings(store, options);
    FAIL() << "the save should fail";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "Failed to set data for 'cbtidel'");
  }
  chmod((folder_ + "/vexa").c_str(), 0700);
  EXPECT_FALSE(std::filesystem::exists(path_));
}

// A named pipe in the store's place would hold the start-up for ever in open(): it is
// neither read nor written, and the load and the save fail as for any unreadable store.
TEST_F(SettingsStoreTest, ANamedPipeInTheStoresPlaceIsNeitherReadNorWritten) {
  std::filesystem::create_directories(folder_ + "/vexa");
  ASSERT_EQ(::mkfifo(path_.c_str(), 0644), 0);
  TSettingsFile store(path_);
  StationOptions options;
  options.nulltime = "10:00:00";
  LoadSettings(store, options);
  EXPECT_EQ(options.nulltime, "10:00:00");
  EXPECT_THROW(SaveSettings(store, options), Error);
  EXPECT_TRUE(std::filesystem::is_fifo(path_));
}

TEST_F(SettingsStoreTest, SaveKeepsTheMailAddressAndOddTexts) {
  TSettingsFile store(path_);
  WriteMailAddress(store, "timing@example.org");
  StationOptions options;
  options.subName = "line\r\nbreak\\ \x01";
  SaveSettings(store, options);
  EXPECT_EQ(ReadMailAddress(store), "timing@example.org");
  EXPECT_EQ(ReadStore().find(".tmp"), std::string::npos);
  StationOptions loaded;
  LoadSettings(store, loaded);
  EXPECT_EQ(loaded.subName, "line\r\nbreak\\ \x01");
}

TEST_F(SettingsStoreTest, TheGridZoomIsKeptBesideTheOptions) {
  TSettingsFile store(path_);
  EXPECT_EQ(ReadGridZoom(store), 100);  // never stored
  StationOptions options;
  options.raceName = "Holmenkollen";
  SaveSettings(store, options);
  WriteGridZoom(store, 150);
  EXPECT_EQ(ReadGridZoom(store), 150);
  SaveSettings(store, options);  // the options' save keeps the zoom
  EXPECT_EQ(ReadGridZoom(store), 150);
  StationOptions loaded;
  LoadSettings(store, loaded);
  EXPECT_EQ(loaded.raceName, "Holmenkollen");

  // A value that no zoom step gives, or one of the wrong type, reads as no zoom.
  for (const char* line : {"GridZoom=dword:00000005\n", "GridZoom=sz:\"150\"\n"}) {
    WriteStore(line);
    EXPECT_EQ(ReadGridZoom(store), 100) << line;
  }
  std::filesystem::remove_all(folder_);
  std::filesystem::create_directories(path_);  // a folder where the store goes
  EXPECT_THROW(WriteGridZoom(store, 125), Error);
}

}  // namespace
}  // namespace ln40
