#pragma once
// The file dialogs of the workbook commands: "Open excel file" (od1), "Save as excel file"
// (SaveDialog1) and "Save as XML file" (SaveDialog2), and the save dialog's interface. Each
// dialog shows the name last chosen in it while the program runs.
#include <optional>
#include <string>
#include <vector>

#include "sheet/entry_import.h"

namespace ln40 {

struct SaveDialogOptions {
  std::string title;
  std::vector<FileDialogFilter> filters;
  // Without the dot; added to a typed name that has no extension (WithDefaultExtension).
  std::string default_extension;
  bool confirm_overwrite = false;  // the system's save dialogs never ask
  std::string file_name;           // the name shown first (UTF-8)
};

// A file save dialog.
class FileSaveDialog {
 public:
  virtual ~FileSaveDialog() = default;
  // The chosen file as a file system name (UTF-8) with the default extension added as said
  // above, or nothing when the user cancels.
  virtual std::optional<std::string> ChooseFileToSave(const SaveDialogOptions& options) = 0;
};

// `name` with "." and `extension` added when its last path part has no extension (no dot);
// unchanged when it has one or `extension` is empty. "times" gives "times.xlm".
std::string WithDefaultExtension(const std::string& name, const std::string& extension);

// Title "Open excel file", filters "Excel file" (*.xls) and "All" (*.*), default extension
// "xls", the file need not exist.
OpenDialogOptions OpenExcelDialogOptions();
// Title "Save as excel sheet", filters "Excel file" (*.xls) and "All files" (*.*), default
// extension "xls", no question when the file exists.
SaveDialogOptions SaveExcelDialogOptions();
// Title "Save as xml file", filters "XML file" (*.xml) and "All files" (*.*), default
// extension "xlm", no question when the file exists.
SaveDialogOptions SaveXmlDialogOptions();

}  // namespace ln40
