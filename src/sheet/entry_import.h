#pragma once
// The entry import: fills the runner sheet from an entry file of the club system ("klubben
// online"), an XML file with one SingleEntry element per runner. Every entry becomes a new
// row at the end of the sheet with first name, surname, class, club, sex and identity
// number; an Eventname element sets the race name. The sheet is not cleared first.
//
// The file is read with TXmlScanner (Normalize on) and three handlers:
//   start tag      SingleEntry appends a row; Person clubName/sex fill Klubb/Kjønn;
//                  every start tag becomes the last start tag
//   empty tag      Identity value fills Kid; EntryClass shortName sets the current class;
//                  Person as above
//   content        after Eventname: the race name; after Family: Etternavn; after Given:
//                  Fornavn, and the current class into Klasse
// Items fill the sheet's last row. Items that come before the first SingleEntry of an import
// have no row of their own and are not written, so they can never overwrite a runner that
// was in the sheet before the import.
//
// Used on the event thread only; not thread-safe.
#include <optional>
#include <string>
#include <vector>

#include "table/grid_table.h"
#include "xml/xml_scanner.h"

namespace ln40 {

// What the import keeps between events and between imports. Owned by whoever owns the
// sheet (the main window), empty at first and never reset by a new import: an entry whose
// EntryClass comes after its Given gets the class left by the entry before it, even from
// the previous import.
struct EntryImportState {
  std::string last_start_tag;  // name of the most recent start tag of any element
  std::string current_class;   // shortName of the most recent EntryClass empty-element tag
};

struct FileDialogFilter {
  std::string name;     // "Entry file"
  std::string pattern;  // "*.xml"
};

struct OpenDialogOptions {
  std::string title;
  std::vector<FileDialogFilter> filters;
  std::string default_extension;  // without the dot
  bool file_must_exist = true;
  bool hide_read_only = true;  // read-only files are not offered a read-only choice
  bool resizable = true;
  std::string file_name;  // the name shown first: the one last chosen in this dialog (UTF-8)
};

// A file open dialog.
class FileOpenDialog {
 public:
  virtual ~FileOpenDialog() = default;
  // The chosen file as a file system name (UTF-8), or nothing when the user cancels.
  virtual std::optional<std::string> ChooseFileToOpen(const OpenDialogOptions& options) = 0;
};

// The window's fields the import writes.
class EntryImportWindow {
 public:
  virtual ~EntryImportWindow() = default;
  virtual void SetRaceName(const std::string& name) = 0;  // the race name field
  // The autosave indicator, shown while an entry file is imported.
  virtual void SetAutosaveIndicatorVisible(bool visible) = 0;
};

// Title "Load data from a klubben online xml file", filters "Entry file" (*.xml) and "All"
// (*.*), default extension "xml", the file must exist, resizable.
const OpenDialogOptions& EntryFileDialogOptions();

// The three handlers of one import. Rows go to `sheet`, the race name to `window`; `state`
// outlives the import. A SingleEntry beyond the rows a runner sheet has (runner_sheet::
// kMaxRows, the empty first row that the import removes not counted) ends the scan with an
// Error, before its row is added.
class TEntryImportHandlers {
 public:
  TEntryImportHandlers(TGridTable& sheet, EntryImportState& state, EntryImportWindow& window);

  void StartTag(const std::string& name, const TAttrList& attributes);
  void EmptyTag(const std::string& name, const TAttrList& attributes);
  void Content(const std::string& text);

  // Connects OnStartTag, OnEmptyTag and OnContent of `scanner` to this object, which must
  // outlive every scan it runs.
  void ConnectTo(TXmlScanner& scanner);

  // Rows SingleEntry appended during this import.
  int RowsAdded() const { return rows_added_; }
  // Whether the scan ended at an entry the sheet had no room for.
  bool RanOutOfRoom() const { return out_of_room_; }

 private:
  void ReadPerson(const TAttrList& attributes);
  void WriteLastRow(int col, const std::string& text);

  TGridTable& sheet_;
  EntryImportState& state_;
  EntryImportWindow& window_;
  int rows_added_ = 0;
  int room_ = 0;             // entries the sheet has room for
  bool out_of_room_ = false;
  bool entry_seen_ = false;  // a SingleEntry started in this import
};

// Imports one entry file: shows the autosave indicator, scans the file, then (whether or not
// the scan ended with an error) removes body row 1 when every cell of it is empty and hides
// the indicator; an error of the scan is then thrown on. Returns the number of entries added.
//
// A file that cannot be read as an entry file (a folder, no regular file, larger than the
// scanner's 512 MB bound, or one that cannot be opened) throws an Error naming it and the
// reason before anything is shown or changed. External entities the scanner refuses (a file
// outside the entry file's folder, reached through a link, no regular file, larger than
// 1 MB) give nothing to the sheet; once the scan has ended they are thrown as one Error that
// names each of them and why. A file with more entries than the sheet has room for is
// refused whole: the scan ends, the rows it added are taken out again, and an Error naming
// the file and the limit is thrown.
int ImportEntryFile(const std::string& path, TGridTable& sheet, EntryImportState& state, EntryImportWindow& window);

// The command "Get data from klubben online": the open dialog, then ImportEntryFile.
// Nothing changes when the dialog is cancelled.
void RunEntryImportCommand(FileOpenDialog& dialog, TGridTable& sheet, EntryImportState& state,
                           EntryImportWindow& window);

}  // namespace ln40
