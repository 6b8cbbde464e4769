#pragma once
// The report commands of the main window without the window system: "Print ", "Print
// result list", "Print startlist" and the preview of "Save as html file". The print
// settings dialog and the printer sit behind PrintHost; the desktop's HTML viewer behind
// OpenFileInViewer. Run on the event thread.
#include <memory>
#include <string>

#include "reports/html_export.h"
#include "reports/lists.h"
#include "reports/print_canvas.h"
#include "reports/print_settings.h"
#include "table/grid_table.h"
#include "table/table_look.h"
#include "text/clock.h"
#include "text/locale.h"

namespace ln40 {

struct PrintDialogOptions {
  bool preview = true;         // show the reduced picture of the first page
  bool bordersEnabled = true;  // the "Borders:" group; off for the list commands
};

// What printing needs from the window system.
class PrintHost {
 public:
  virtual ~PrintHost() = default;

  // The modal "Print Settings" dialog for `table`. Its controls edit `settings` directly;
  // the preview draws page 0 with LayoutPrintTable and DrawPrintPage on a reduced canvas.
  // "&Save settings" / "&Load settings" use WritePrintSettingsIni / ReadPrintSettingsIni.
  // Returns true for "OK". The caller restores the settings after "Cancel".
  virtual bool ShowPrintSettingsDialog(const TGridTable& table, const TableLook& look, PrintSettings& settings,
                                       const PrintDialogOptions& options) = 0;

  // One print job on the current printer, pages in `orientation`. The pages go to the
  // printer when the canvas is released. nullptr when no job could be started; the
  // platform has then told the user why.
  virtual std::unique_ptr<PrintCanvas> BeginPrintJob(const std::string& job_name, PageOrientation orientation) = 0;
};

// The dialog, then the print when the user confirms. The dialog shows TitleText as title
// lines (PrintSettingsEdit); "Cancel" restores every setting it changed. Returns true when
// the table was printed.
bool PrintWithDialog(const TGridTable& table, const TableLook& look, PrintSettings& settings,
                     const PrintDialogOptions& options, PrintHost& host, const Clock& clock, const Locale& locale);

// "Print ": the current page's table (the read-times table on "Read times", the runner
// sheet on every other page) gets the title race + " " + sub and goes through the dialog
// with every group enabled. `settings` are that table's own, kept between commands.
bool RunPrintCommand(const TGridTable& table, const TableLook& look, PrintSettings& settings, const std::string& race,
                     const std::string& sub, PrintHost& host, const Clock& clock, const Locale& locale);

struct ListCommandContext {
  std::string race = {};    // Edit3
  std::string sub = {};     // Edit2
  std::string folder = {};  // the program's folder, with a trailing "/"
  PrintHost* printer = nullptr;      // nullptr: no dialog and no print (ln40cli)
  const Clock* clock = nullptr;      // for the time and date on the pages; the system clock when null
  Locale locale = Locale::WorkedExample();  // for the date and time on the pages
  SystemColors colors = {};
  OpenFileInViewer viewer = {};      // for AutoPreview (off for the lists)
};

struct ListCommandResult {
  std::string pagePath;  // the HTML page written
  bool printed = false;
};

// "Print result list": builds the list, offers the dialog (borders disabled) and prints when
// confirmed, then in either case writes folder + "Results.htm". Throws Error("Cannot Create
// file " + path) after any print when the page cannot be written. The sheet is not changed.
ListCommandResult RunResultListCommand(const TGridTable& sheet, const ListCommandContext& context);

// "Print startlist": the same with the start list and "Start.htm".
ListCommandResult RunStartListCommand(const TGridTable& sheet, const ListCommandContext& context);

}  // namespace ln40
