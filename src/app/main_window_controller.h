#pragma once
// The main window's logic without the window system: the start-up routine, the close
// sequence, the three timers, page selection, the option boxes' click rules and every
// command of the toolbar and the Setup page. The timing session it builds owns the tables,
// the reader link, the timers, the journal and the autosave; the window on screen is a
// view. Everything runs on the event thread.
#include <functional>
#include <memory>
#include <string>

#include "app/main_window_view.h"
#include "app/settings_file.h"
#include "app/settings_store.h"
#include "app/window_reports.h"
#include "app/timing_session.h"
#include "reports/mail_composer.h"
#include "text/clock.h"

namespace ln40 {

class TGridExcelIO;

inline constexpr const char* kWindowCaption = "Vexa LN40 utility ver 0.92";
inline constexpr const char* kVersion = "0.9.2.0";
inline constexpr const char* kMakerAddress = "https://www.vexa.no";

class MainWindowController {
 public:
  // `data_folder` is the program's folder (logs, lists, autosave, journal), with a trailing
  // "/". Throws Error when another station works in that folder.
  MainWindowController(MainWindowView& view, EventThread& events, EventTimers& timers, const Clock& clock,
                       const Locale& locale, std::string data_folder, TSettingsFile& settings,
                       SerialDeviceSource& devices);
  ~MainWindowController();  // the window's destruction: closes the link

  TGridTable& ReadTimes() { return session_->ReadTimes(); }
  TGridTable& Sheet() { return session_->Sheet(); }
  TTimingStation& Station() { return session_->Station(); }
  TReaderLink& Link() { return session_->Link(); }
  TimingSession& Session() { return *session_; }
  const std::string& DataFolder() const { return data_folder_; }

  // When the window is first shown, and on every tick of Timer1 (the session's discovery
  // timer) while no port is found. The first run restores an interrupted race.
  void StartUpRoutine();
  void Timer1Tick();
  void Timer2Tick() { session_->WatchTick(); }
  void Timer3Tick() { session_->AutosaveTick(); }

  // The close sequence; false keeps the window open (the settings could not be saved).
  bool CloseRequested();

  // Option boxes clicked by the user.
  void cbtidelClick();
  void cbautosaveClick();

  // Pages and the Setup page.
  void PageTabClicked(int index);
  void SetupReadTimesClick();
  void SetupExcelTimingClick();
  void ShowHelpClick();
  void OnlineClick();

  // Toolbar and other commands. Those whose features come later do nothing yet.
  void SerialPortPropertiesClick();  // SpeedButton8
  void GetDataAgainClick();          // SpeedButton9
  void StartStopClick();             // SpeedButton10
  void SearchReadersClick();         // SpeedButton11
  void ComPortsClick();              // "COM ports"
  void PortListChosen(int index);    // ComboBox1
  void AboutClick();
  void GetDataFromKlubbenOnlineClick();  // SpeedButton6: the entry import
  void AssignStartNumbersClick();        // SpeedButton13: start numbers and start times
  void OpenExcelFileClick();             // SpeedButton17: "Open excel file" into the runner sheet
  void SaveAsExcelFileClick();           // SpeedButton2: both tables into one workbook
  void SaveAsXmlFileClick();             // SpeedButton5: the read-times table as XML
  void MailClick();                      // SpeedButton12: "Mail log og excel file"
  void PrintClick();                     // SpeedButton3: "Print "
  void SaveAsHtmlFileClick();            // SpeedButton4: "Save as html file"
  void PrintStartListClick();            // SpeedButton19: "Print startlist"
  void PrintResultListClick();           // SpeedButton14: "Print result list"

  // The grids.
  void ReadTimesRightClick(int row, int shown_col);
  void SheetEditingDone(int row);
  void SheetRowInsertedByKey(int row);

  // The print and HTML settings of both tables, kept while the program runs.
  WindowReports& Reports() { return *reports_; }

  // State other commands share with the window.
  std::string& PreviousClass() { return previous_class_; }
  EntryImportState& EntryImport() { return entry_import_; }

  // The workbook exchanges of the runner sheet and of the read-times table.
  TGridExcelIO& GridExcelIO1() { return session_->RunnerSheetIO(); }
  TGridExcelIO& GridExcelIO2() { return session_->ReadTimesIO(); }

  // The mail command's composer (xdg-email, or the program LN40UTIL_MAIL_COMMAND names) and
  // the writer of both tables into "mail.xls" (path in UTF-8); tests put in their own.
  std::unique_ptr<MailComposer> mailComposer;
  std::function<void(const std::string& path)> writeMailWorkbook;

 private:
  class FrontEnd;
  class Dialogs;
  class SheetCommandDialogs;

  // Runs a command: an error it does not handle goes to the standard error report.
  void Guarded(const std::function<void()>& command);
  // Runs a discovery (`discover`). A port it found but could not open is tried again by the
  // retry timer every 3 seconds; its error is shown the first time, and again only when the
  // user asked (`asked`) or the error changed.
  void RunDiscovery(const std::function<void()>& discover, bool asked);
  // Timer1 while the port found could not be opened: discovery alone. The whole start-up
  // routine would load the stored settings over the fields the user is editing.
  void RetryDiscovery();

  MainWindowView& view_;
  std::string data_folder_;
  TSettingsFile& settings_;
  SerialDeviceSource& devices_;
  std::unique_ptr<FrontEnd> front_end_;
  std::unique_ptr<Dialogs> dialogs_;
  std::unique_ptr<TimingSession> session_;
  std::string previous_class_;
  EntryImportState entry_import_;
  std::unique_ptr<WindowReports> reports_;
  // The names last chosen in the dialogs od1, SaveDialog1 and SaveDialog2.
  std::string open_excel_name_, save_excel_name_, save_xml_name_;
  // The error of the last discovery that could not open its port; empty when it could.
  std::string discovery_error_;
};

}  // namespace ln40
