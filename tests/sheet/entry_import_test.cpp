#include "sheet/entry_import.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sheet/runner_sheet.h"
#include "text/error.h"

namespace ln40 {
namespace {

namespace fs = std::filesystem;
using namespace runner_sheet;

struct FakeWindow : EntryImportWindow {
  std::string race_name = "Test race";
  std::vector<bool> indicator;  // every change of the autosave indicator
  bool throw_on_race_name = false;

  void SetRaceName(const std::string& name) override {
    if (throw_on_race_name) throw Error("race name refused");
    race_name = name;
  }
  void SetAutosaveIndicatorVisible(bool visible) override { indicator.push_back(visible); }
};

struct FakeOpenDialog : FileOpenDialog {
  std::optional<std::string> answer;
  OpenDialogOptions shown;
  std::optional<std::string> ChooseFileToOpen(const OpenDialogOptions& options) override {
    shown = options;
    return answer;
  }
};

// One entry as the club system writes it: the class first, then the person.
std::string Entry(const std::string& given, const std::string& family, const std::string& klass,
                  const std::string& club, const std::string& sex, const std::string& id) {
  return "  <SingleEntry>\n"
         "    <EntryClass shortName=\"" +
         klass +
         "\"/>\n"
         "    <Person sex=\"" +
         sex + "\" clubName=\"" + club +
         "\">\n"
         "      <PersonName>\n        <Family>" +
         family + "</Family>\n        <Given>" + given +
         "</Given>\n"
         "      </PersonName>\n"
         "      <Identity value=\"" +
         id +
         "\"/>\n"
         "    </Person>\n"
         "  </SingleEntry>\n";
}

std::string EntryFile(const std::string& entries, const std::string& event = "Vinterkarusell 3") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<EntryList>\n  <Eventname>" + event + "</Eventname>\n" + entries +
         "</EntryList>\n";
}

std::vector<std::string> Row(const TGridTable& sheet, int row) {
  std::vector<std::string> cells;
  for (int col = 0; col < sheet.ColCount(); ++col) cells.push_back(sheet.Cell(col, row));
  return cells;
}

std::vector<std::string> Runner(const std::string& given, const std::string& family, const std::string& klass,
                                const std::string& club, const std::string& sex, const std::string& id) {
  std::vector<std::string> cells(kColumnCount);
  cells[kFirstName] = given;
  cells[kLastName] = family;
  cells[kClass] = klass;
  cells[kClub] = club;
  cells[kSex] = sex;
  cells[kId] = id;
  return cells;
}

class EntryImport : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("entry_import_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    SetUpRunnerSheet(sheet_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const fs::path path = folder_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  int Import(const std::string& bytes) { return ImportEntryFile(Write("entries.xml", bytes), sheet_, state_, window_); }

  fs::path folder_;
  TGridTable sheet_;
  EntryImportState state_;
  FakeWindow window_;
};

TEST_F(EntryImport, ThreeEntriesOnANewSheet) {
  const int added = Import(EntryFile(Entry("Ola", "Nordmann", "H21", "IL Nor", "M", "1001") +
                                     Entry("Kari", "S\xC3\xB8rensen", "D21", "\xC3\x98stmarka IL", "F", "1002") +
                                     Entry("Per", "Hansen", "H50", "OK Vang", "M", "1003")));
  EXPECT_EQ(added, 3);
  ASSERT_EQ(sheet_.RowCount(), 4);  // no empty row above the entries
  EXPECT_EQ(Row(sheet_, 1), Runner("Ola", "Nordmann", "H21", "IL Nor", "M", "1001"));
  EXPECT_EQ(Row(sheet_, 2), Runner("Kari", "S\xF8rensen", "D21", "\xD8stmarka IL", "F", "1002"));
  EXPECT_EQ(Row(sheet_, 3), Runner("Per", "Hansen", "H50", "OK Vang", "M", "1003"));
  EXPECT_EQ(window_.race_name, "Vinterkarusell 3");
  EXPECT_EQ(window_.indicator, (std::vector<bool>{true, false}));
}

TEST_F(EntryImport, EntriesFollowTheRunnersAlreadyInTheSheet) {
  sheet_.SetRowCount(6);
  for (int row = 1; row <= 5; ++row) sheet_.SetCell(kFirstName, row, "Old" + std::to_string(row));
  sheet_.SetCell(kStartNumber, 5, "5");
  Import(EntryFile(Entry("Ola", "Nordmann", "H21", "IL Nor", "M", "1") +
                   Entry("Kari", "Dahl", "D21", "IL Nor", "F", "2")));
  ASSERT_EQ(sheet_.RowCount(), 8);
  for (int row = 1; row <= 5; ++row) EXPECT_EQ(sheet_.Cell(kFirstName, row), "Old" + std::to_string(row));
  EXPECT_EQ(sheet_.Cell(kStartNumber, 5), "5");
  EXPECT_EQ(sheet_.Cell(kFirstName, 6), "Ola");
  EXPECT_EQ(sheet_.Cell(kFirstName, 7), "Kari");
}

TEST_F(EntryImport, ClassStateLivesAcrossImports) {
  // EntryClass after Given: the entry gets the class left by the entry before it, and the
  // first entry of a file the class left by the previous import (empty in the first one).
  const std::string late_class =
      "<SingleEntry><Person><Given>A</Given></Person><EntryClass shortName=\"H21\"/></SingleEntry>"
      "<SingleEntry><Person><Given>B</Given></Person><EntryClass shortName=\"D21\"/></SingleEntry>";
  Import(EntryFile(late_class));
  EXPECT_EQ(sheet_.Cell(kClass, 1), "");
  EXPECT_EQ(sheet_.Cell(kClass, 2), "H21");
  EXPECT_EQ(state_.current_class, "D21");
  Import(EntryFile(late_class));
  EXPECT_EQ(sheet_.Cell(kClass, 3), "D21");
  EXPECT_EQ(sheet_.Cell(kClass, 4), "H21");
}

TEST_F(EntryImport, ItemsOnlyCountInTheirExpectedForm) {
  const struct {
    const char* name;
    std::string entries;
    int rows;
    std::vector<std::string> last_row;
  } cases[] = {
      {"Identity and EntryClass as start and end tags are ignored",
       "<SingleEntry><EntryClass shortName=\"H21\"></EntryClass><Person><Given>Ola</Given>"
       "<Identity value=\"7\"></Identity></Person></SingleEntry>",
       1, Runner("Ola", "", "", "", "", "")},
      {"an empty-element SingleEntry adds no row",
       "<SingleEntry><Person><Given>Ola</Given></Person></SingleEntry><SingleEntry/>", 1,
       Runner("Ola", "", "", "", "", "")},
      {"Person attributes in any order, also as an empty-element tag",
       "<SingleEntry><Person clubName=\"IL Nor\" sex=\"F\"/><Given>Kari</Given></SingleEntry>", 1,
       Runner("Kari", "", "", "IL Nor", "F", "")},
      {"a later item overwrites an earlier one",
       "<SingleEntry><Given>Ola</Given><Given>Per</Given><Identity value=\"1\"/><Identity value=\"2\"/></SingleEntry>",
       1, Runner("Per", "", "", "", "", "2")},
      {"text after an end tag counts as that element's text again",
       "<SingleEntry><Given>Ola</Given> Per <Family>Dahl</Family></SingleEntry>", 1,
       Runner("Per", "Dahl", "", "", "", "")},
      {"names are compared with their case", "<SingleEntry><given>Ola</given><Given>Per</Given></SingleEntry>", 1,
       Runner("Per", "", "", "", "", "")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TGridTable sheet;
    SetUpRunnerSheet(sheet);
    EntryImportState state;
    FakeWindow window;
    ImportEntryFile(Write("case.xml", EntryFile(c.entries)), sheet, state, window);
    ASSERT_EQ(sheet.RowCount(), 1 + c.rows);
    EXPECT_EQ(Row(sheet, sheet.RowCount() - 1), c.last_row);
  }
}

TEST_F(EntryImport, ItemsBeforeTheFirstEntryDoNotTouchOldRunners) {
  sheet_.SetCell(kFirstName, 1, "Kari");
  sheet_.SetCell(kClub, 1, "OK Vang");
  Import(
      EntryFile("<Organiser><Person clubName=\"Arrangor IL\" sex=\"M\"><Given>Contact</Given></Person>"
                "<Identity value=\"99\"/></Organiser>" +
                Entry("Ola", "Nordmann", "H21", "IL Nor", "M", "1")));
  EXPECT_EQ(Row(sheet_, 1), Runner("Kari", "", "", "OK Vang", "", ""));
  EXPECT_EQ(Row(sheet_, 2), Runner("Ola", "Nordmann", "H21", "IL Nor", "M", "1"));
}

// A source that is no entry file is an error that names the reason, and the sheet, the empty
// first row included, stays as it was.
TEST_F(EntryImport, UnreadableSourceIsAnErrorAndChangesNothing) {
  fs::create_directory(folder_ / "folder.xml");
  const std::string fifo = (folder_ / "pipe.xml").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string huge = Write("huge.xml", "<EntryList>");
  fs::resize_file(huge, (std::uintmax_t{512} << 20) + 1);  // sparse: no disk space is used
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {(folder_ / "folder.xml").string(), "it is a folder"},
      {"/dev/null", "it is a character device, not a regular file"},
      {fifo, "it is a named pipe (FIFO), not a regular file"},
      {huge, "it is larger than 512 MB"},
      {(folder_ / "missing.xml").string(), "No such file or directory"},
  };
  for (const Case& c : cases) {
    TGridTable sheet;
    SetUpRunnerSheet(sheet);
    sheet.SetRowCount(3);
    sheet.SetCell(kFirstName, 2, "Kari");
    FakeWindow window;
    try {
      ImportEntryFile(c.path, sheet, state_, window);
      ADD_FAILURE() << c.path << ": no error";
    } catch (const Error& error) {
      EXPECT_EQ(std::string(error.what()), "Cannot read the entry file " + c.path + ": " + c.reason);
    }
    EXPECT_EQ(sheet.RowCount(), 3) << c.path;
    EXPECT_EQ(sheet.Cell(kFirstName, 2), "Kari") << c.path;
    EXPECT_TRUE(window.indicator.empty()) << c.path;
  }
}

TEST_F(EntryImport, EmptyFileAddsNothingButRemovesTheEmptyFirstRow) {
  sheet_.SetRowCount(3);
  sheet_.SetCell(kFirstName, 2, "Kari");
  EXPECT_EQ(Import(""), 0);
  ASSERT_EQ(sheet_.RowCount(), 2);
  EXPECT_EQ(sheet_.Cell(kFirstName, 1), "Kari");
  EXPECT_EQ(window_.indicator, (std::vector<bool>{true, false}));
}

// An entry file cannot pull files of the computer into the sheet (which is printed, put on
// the web and mailed): only files beside it are read into its entities.
TEST_F(EntryImport, ExternalEntitiesOnlyFromTheEntryFilesFolder) {
  fs::create_directories(folder_ / "home" / ".ssh");
  fs::create_directories(folder_ / "race");
  Write("home/.ssh/id_rsa", "PRIVATE KEY");
  Write("race/club.txt", "IL Nor");
  const std::string path = Write("race/entries.xml",
                                 "<?xml version=\"1.0\"?>\n<!DOCTYPE EntryList [\n"
                                 "  <!ENTITY s SYSTEM \"/proc/version\">\n"
                                 "  <!ENTITY k SYSTEM \"../home/.ssh/id_rsa\">\n"
                                 "  <!ENTITY club SYSTEM \"club.txt\">\n]>\n"
                                 "<EntryList>\n" +
                                     Entry("&s;", "&k;", "H21", "x", "M", "1") + Entry("Kari", "&club;", "D21", "y", "F", "2") +
                                     "</EntryList>\n");
  try {
    ImportEntryFile(path, sheet_, state_, window_);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "The entry file's entity \"k\" (\"../home/.ssh/id_rsa\") was not read: it leads out of the folder with "
              "\"..\"\n"
              "The entry file's entity \"s\" (\"/proc/version\") was not read: it is an absolute path, outside the "
              "document's folder");
  }
  ASSERT_EQ(sheet_.RowCount(), 3);
  EXPECT_EQ(Row(sheet_, 1), Runner("", "", "", "x", "M", "1"));  // an empty Given brings no class either
  EXPECT_EQ(Row(sheet_, 2), Runner("Kari", "IL Nor", "D21", "y", "F", "2"));
}

TEST_F(EntryImport, ScanErrorKeepsTheRowsAndIsThrownAfterTheCleanUp) {
  window_.throw_on_race_name = true;
  EXPECT_THROW(Import("<EntryList>" + Entry("Ola", "Nordmann", "H21", "IL Nor", "M", "1") +
                      "<Eventname>Boom</Eventname>" + Entry("Kari", "Dahl", "D21", "IL Nor", "F", "2")),
               Error);
  ASSERT_EQ(sheet_.RowCount(), 2);  // the empty first row went, the entry before the error stayed
  EXPECT_EQ(sheet_.Cell(kFirstName, 1), "Ola");
  EXPECT_EQ(window_.indicator, (std::vector<bool>{true, false}));
}

// A runner sheet is saved as one worksheet: an entry file with more entries than it has
// room for is refused whole, before the row too many is added.
TEST_F(EntryImport, MoreEntriesThanTheSheetHasRoomForAreRefusedWhole) {
  std::string entries;
  for (int i = 0; i < 3; ++i) entries += "<SingleEntry><Person><Given>x</Given></Person></SingleEntry>";
  struct Case {
    const char* name;
    int rows;              // body rows before the import
    bool first_row_empty;  // as in a new sheet: the import removes it
    bool refused;
  };
  const std::vector<Case> cases = {
      {"three entries fill the sheet exactly", kMaxRows - 3, false, false},
      {"the empty first row that goes does not count", kMaxRows - 2, true, false},
      {"one entry too many", kMaxRows - 2, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TGridTable sheet;
    SetUpRunnerSheet(sheet);
    sheet.SetRowCount(c.rows + 1);
    for (int row = c.first_row_empty ? 2 : 1; row <= c.rows; ++row) sheet.SetCell(kFirstName, row, "Old");
    const std::string path = Write("many.xml", EntryFile(entries));
    std::string message;
    try {
      ImportEntryFile(path, sheet, state_, window_);
    } catch (const Error& error) {
      message = error.what();
    }
    if (c.refused) {
      EXPECT_EQ(message, "The entry file " + path +
                             " has more entries than the runner sheet has room for: a worksheet holds at most 65,536 "
                             "rows. Nothing was imported.");
      EXPECT_EQ(sheet.RowCount(), c.rows + 1);
      EXPECT_EQ(sheet.Cell(kFirstName, c.rows), "Old");
    } else {
      EXPECT_EQ(message, "");
      EXPECT_EQ(sheet.RowCount(), kMaxRows + 1);
      EXPECT_EQ(sheet.Cell(kFirstName, kMaxRows), "x");
    }
  }
}

TEST_F(EntryImport, CommandShowsTheOpenDialog) {
  FakeOpenDialog dialog;
  RunEntryImportCommand(dialog, sheet_, state_, window_);  // cancelled
  EXPECT_EQ(dialog.shown.title, "Load data from a klubben online xml file");
  ASSERT_EQ(dialog.shown.filters.size(), 2u);
  EXPECT_EQ(dialog.shown.filters[0].name, "Entry file");
  EXPECT_EQ(dialog.shown.filters[0].pattern, "*.xml");
  EXPECT_EQ(dialog.shown.filters[1].name, "All");
  EXPECT_EQ(dialog.shown.default_extension, "xml");
  EXPECT_TRUE(window_.indicator.empty());
  EXPECT_EQ(sheet_.RowCount(), 2);

  dialog.answer = Write("chosen.xml", EntryFile(Entry("Ola", "Nordmann", "H21", "IL Nor", "M", "1")));
  RunEntryImportCommand(dialog, sheet_, state_, window_);
  EXPECT_EQ(sheet_.Cell(kFirstName, 1), "Ola");
}

}  // namespace
}  // namespace ln40
