#include "sheet/entry_import.h"

#include <algorithm>
#include <exception>
#include <string>

#include "sheet/runner_sheet.h"
#include "text/codepage.h"
#include "text/error.h"

namespace ln40 {

const OpenDialogOptions& EntryFileDialogOptions() {
  static const OpenDialogOptions options = [] {
    OpenDialogOptions o;
    o.title = "Load data from a klubben online xml file";
    o.filters = {{"Entry file", "*.xml"}, {"All", "*.*"}};
    o.default_extension = "xml";
    o.file_must_exist = true;
    o.hide_read_only = true;
    o.resizable = true;
    return o;
  }();
  return options;
}

namespace {

bool BodyRowIsEmpty(const TGridTable& sheet, int row) {
  for (int col = 0; col < sheet.ColCount(); ++col) {
    if (!sheet.Cell(col, row).empty()) return false;
  }
  return true;
}

}  // namespace

TEntryImportHandlers::TEntryImportHandlers(TGridTable& sheet, EntryImportState& state, EntryImportWindow& window)
    : sheet_(sheet), state_(state), window_(window) {
  const int body_rows = sheet.RowCount() - 1 - (BodyRowIsEmpty(sheet, 1) ? 1 : 0);
  room_ = std::max(0, runner_sheet::kMaxRows - body_rows);
}

void TEntryImportHandlers::StartTag(const std::string& name, const TAttrList& attributes) {
  if (name == "SingleEntry") {
    // Checked before the row is added: a file can hold far more entries than a sheet rows.
    if (rows_added_ >= room_) {
      out_of_room_ = true;
      throw Error("The runner sheet has no room for more entries");
    }
    const int before = sheet_.RowCount();
    sheet_.AddRow();
    rows_added_ += sheet_.RowCount() - before;
    entry_seen_ = true;
  }
  if (name == "Person") ReadPerson(attributes);
  state_.last_start_tag = name;
}

void TEntryImportHandlers::EmptyTag(const std::string& name, const TAttrList& attributes) {
  if (name == "Identity") {
    for (int i = 0; i < attributes.Count(); ++i) {
      if (attributes.Name(i) == "value") WriteLastRow(runner_sheet::kId, attributes.Value(i));
    }
  } else if (name == "EntryClass") {
    for (int i = 0; i < attributes.Count(); ++i) {
      if (attributes.Name(i) == "shortName") state_.current_class = attributes.Value(i);
    }
  } else if (name == "Person") {
    ReadPerson(attributes);
  }
}

void TEntryImportHandlers::Content(const std::string& text) {
  const std::string& tag = state_.last_start_tag;
  if (tag == "Eventname") {
    window_.SetRaceName(text);
  } else if (tag == "Family") {
    WriteLastRow(runner_sheet::kLastName, text);
  } else if (tag == "Given") {
    WriteLastRow(runner_sheet::kFirstName, text);
    WriteLastRow(runner_sheet::kClass, state_.current_class);
  }
}

void TEntryImportHandlers::ConnectTo(TXmlScanner& scanner) {
  scanner.OnStartTag = [this](const std::string& name, const TAttrList& attributes) { StartTag(name, attributes); };
  scanner.OnEmptyTag = [this](const std::string& name, const TAttrList& attributes) { EmptyTag(name, attributes); };
  scanner.OnContent = [this](const std::string& text) { Content(text); };
}

void TEntryImportHandlers::ReadPerson(const TAttrList& attributes) {
  // By index, first to last: of two attributes with the same name the last listed wins.
  for (int i = 0; i < attributes.Count(); ++i) {
    const std::string& name = attributes.Name(i);
    if (name == "clubName") {
      WriteLastRow(runner_sheet::kClub, attributes.Value(i));
    } else if (name == "sex") {
      WriteLastRow(runner_sheet::kSex, attributes.Value(i));
    }
  }
}

void TEntryImportHandlers::WriteLastRow(int col, const std::string& text) {
  // Before the import's first entry the last row is a row that was there before it.
  if (!entry_seen_) return;
  sheet_.SetCell(col, sheet_.RowCount() - 1, text);
}

int ImportEntryFile(const std::string& path, TGridTable& sheet, EntryImportState& state, EntryImportWindow& window) {
  TXmlScanner scanner;
  scanner.SetFilename(path);
  if (!scanner.LoadProblem().empty()) {
    throw Error("Cannot read the entry file " + Utf8ToCp1252(path) + ": " + scanner.LoadProblem());
  }
  window.SetAutosaveIndicatorVisible(true);
  TEntryImportHandlers handlers(sheet, state, window);
  std::string refused;
  std::exception_ptr error;
  try {
    handlers.ConnectTo(scanner);
    scanner.OnExternalRefused = [&refused](const std::string& what, const std::string& system_id,
                                           const std::string& reason) {
      if (!refused.empty()) refused += '\n';
      refused += "The entry file's " + what + " (\"" + system_id + "\") was not read: " + reason;
    };
    scanner.SetNormalize(true);
    scanner.Execute();
  } catch (...) {
    error = std::current_exception();
  }
  if (handlers.RanOutOfRoom()) {
    // Refused whole: the entries added go again, and the sheet is as it was.
    sheet.DeleteRow(sheet.RowCount() - handlers.RowsAdded(), handlers.RowsAdded());
    window.SetAutosaveIndicatorVisible(false);
    static_assert(runner_sheet::kMaxRows == 65536, "the message names the limit");
    throw Error("The entry file " + Utf8ToCp1252(path) + " has more entries than the runner sheet has room for: " +
                "a worksheet holds at most 65,536 rows. Nothing was imported.");
  }
  if (BodyRowIsEmpty(sheet, 1)) sheet.DeleteRow(1);
  window.SetAutosaveIndicatorVisible(false);
  if (error) std::rethrow_exception(error);
  if (!refused.empty()) throw Error(refused);
  return handlers.RowsAdded();
}

void RunEntryImportCommand(FileOpenDialog& dialog, TGridTable& sheet, EntryImportState& state,
                           EntryImportWindow& window) {
  const std::optional<std::string> path = dialog.ChooseFileToOpen(EntryFileDialogOptions());
  if (!path) return;
  ImportEntryFile(*path, sheet, state, window);
}

}  // namespace ln40
