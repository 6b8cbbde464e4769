#pragma once
// The report commands of the main window: "Print " (SpeedButton3), "Save as html file"
// (SpeedButton4), "Print startlist" (SpeedButton19) and "Print result list" (SpeedButton14),
// with the print and HTML settings that the read-times table and the runner sheet keep while
// the program runs. Errors are thrown as Error for the window's standard error report.
// Runs on the event thread.
#include <string>

#include "app/main_window_view.h"
#include "reports/report_commands.h"
#include "table/grid_table.h"
#include "text/clock.h"
#include "text/locale.h"

namespace ln40 {

class WindowReports {
 public:
  // `data_folder` is the program's folder, with a trailing "/".
  WindowReports(MainWindowView& view, const Clock& clock, const Locale& locale, std::string data_folder);

  // "Print ": the read-times table on the "Read times" page, the runner sheet on every other
  // page, titled race + " " + sub, through the print settings dialog.
  void Print(const TGridTable& read_times, const TGridTable& sheet);

  // "Save as html file": on "Excel timing" the "HTML Settings" dialog for the runner sheet
  // (on "Read times" for the read-times table); after "OK" the save dialog, and the table is
  // written as a page to the chosen file (shown in the browser when "Auto show output" is
  // on). "Preview" writes the temporary page and shows it. Nothing on "Help" and "Setup".
  void SaveAsHtml(const TGridTable& read_times, const TGridTable& sheet);

  // "Print result list" and "Print startlist": the dialog and the print when the view has a
  // printer, and in every case "Results.htm" / "Start.htm" in the program's folder.
  ListCommandResult ResultList(const TGridTable& sheet);
  ListCommandResult StartList(const TGridTable& sheet);

  PrintSettings& SheetPrint() { return sheet_print_; }
  PrintSettings& ReadTimesPrint() { return read_times_print_; }
  HTMLSettings& SheetHtml() { return sheet_html_; }
  HTMLSettings& ReadTimesHtml() { return read_times_html_; }

 private:
  ListCommandContext ListContext() const;
  TableLook Look() const;
  OpenFileInViewer Viewer() const;

  MainWindowView& view_;
  const Clock& clock_;
  Locale locale_;
  std::string data_folder_;
  PrintSettings read_times_print_;
  PrintSettings sheet_print_;
  HTMLSettings read_times_html_;
  HTMLSettings sheet_html_;
  std::string last_html_file_;  // what the save dialog shows next time
};

// A file:// URL for a file-system name, with every byte outside the unreserved characters
// and "/" percent-encoded.
std::string FileUrl(const std::string& path);

}  // namespace ln40
