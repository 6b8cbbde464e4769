#pragma once
// What the main window's logic needs of the window on screen: its pages, options panel,
// option boxes and fields, port list, status field, lamps and dialogs. The Qt window
// implements it; tests pass a fake.
#include <functional>
#include <string>

#include <optional>

#include "app/workbook_dialogs.h"
#include "link/com_setup.h"
#include "link/reader_discovery.h"
#include "reports/report_commands.h"
#include "sheet/entry_import.h"
#include "sheet/start_assignment.h"
#include "timing/station_options.h"

namespace ln40 {

namespace page {
constexpr int kReadTimes = 0;
constexpr int kExcelTiming = 1;
constexpr int kHelp = 2;
constexpr int kSetup = 3;
}  // namespace page

class MainWindowView : public PortListControls {
 public:
  virtual void SelectPage(int index) = 0;
  virtual int CurrentPage() const = 0;
  virtual void ShowOptionsPanel() = 0;
  virtual bool OptionsPanelVisible() const = 0;

  // The option boxes and the fields of the options panel (reader nulltime, race name, sub
  // name). Showing options from here does not run the boxes' click rules.
  virtual StationOptions Options() const = 0;
  virtual void ShowOptions(const StationOptions& options) = 0;

  virtual void SetLogPathLabel(const std::string& text) = 0;
  virtual void ShowActivityLamp() = 0;
  virtual void SetAutosaveIndicator(bool shown) = 0;
  // The texts of ShowStatus and ShowError: the first line is what the user reads; a line
  // after it is a detail for whoever helps (the failing system call), shown on request.

  // A note on the status line that needs no answer (a log line that could not be written,
  // an error while receiving); never a modal box, which would stall the reception.
  virtual void ShowStatus(const std::string& text) = 0;
  // A warning on the status line that stays until the empty text clears it.
  virtual void ShowWarning(const std::string& text) = 0;

  // The standard error report: a message box with the error's text.
  virtual void ShowError(const std::string& text) = 0;
  virtual void ShowMessage(const std::string& text) = 0;
  virtual bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) = 0;
  virtual bool ShowComSetup(ComSetupChoices& choices) = 0;
  virtual void ShowAbout() = 0;
  virtual void OpenUrl(const std::string& url) = 0;
  // A file open dialog: the chosen file (a file-system name) or nothing when cancelled.
  virtual std::optional<std::string> ChooseFileToOpen(const OpenDialogOptions&) { return std::nullopt; }
  // A file save dialog: the chosen file (a file-system name, the default extension added to a
  // name without one) or nothing when cancelled.
  virtual std::optional<std::string> ChooseFileToSave(const SaveDialogOptions&) { return std::nullopt; }
  // A message box with Yes, No and Cancel.
  virtual DialogAnswer AskYesNoCancel(const std::string& /*text*/, const std::string& /*caption*/) {
    return DialogAnswer::Cancel;
  }

  // Printing: the print settings dialog and the printer; nullptr where there is none (the
  // report commands then print nothing and still write their pages).
  virtual PrintHost* Printer() { return nullptr; }
  // The modal "HTML Settings" dialog for one table's settings; "Preview" stores the values
  // and calls `preview` with them. True for "OK" (the values stored), false for "Cancel".
  virtual bool ShowHtmlSettings(HTMLSettings& /*settings*/,
                                const std::function<void(const HTMLSettings&)>& /*preview*/) {
    return false;
  }
  // The desktop's colours, for the pages and printouts of the tables.
  virtual SystemColors DesktopColors() const { return {}; }

  // The tables may have changed: the grids show them anew (rows appended are cheap).
  virtual void TablesChanged() = 0;
};

}  // namespace ln40
