#include "app/main_window_controller.h"

#include <exception>

#include "link/reader_discovery.h"
#include "reports/mail_command.h"
#include "reports/xdg_email_composer.h"
#include "sheet/runner_sheet.h"
#include "timing/read_times_table.h"
#include "workbook/autosave.h"
#include "workbook/grid_excel_io.h"
#include "workbook/table_xml_export.h"
#include "workbook/workbook_commands.h"

namespace ln40 {

// The window's fields and boxes as the timing code reads them.
class MainWindowController::WindowFields : public ReaderWindow {
 public:
  explicit WindowFields(MainWindowView& view) : view_(view) {}
  std::string ReaderNulltime() const override { return view_.FieldText("MaskEditEx1"); }
  void SetReaderNulltime(const std::string& text) override { view_.SetFieldText("MaskEditEx1", text); }
  bool RemoveLeadingZeros() const override { return view_.IsChecked("cbtrim"); }
  bool ChronexLogOn() const override { return view_.IsChecked("cbchronex"); }
  bool BfgLogOn() const override { return view_.IsChecked("cbbfg"); }
  bool InsertUnknownOn() const override { return view_.IsChecked("cbinsert"); }
  std::string RaceName() const override { return view_.FieldText("Edit3"); }
  std::string SubName() const override { return view_.FieldText("Edit2"); }
  void ShowActivityLamp() override { view_.ShowActivityLamp(); }
  void SetTimeStatus(const std::string& text) override { view_.SetTimeStatus(text); }
  void EnableConnectionWatch() override { view_.SetWatchTimerEnabled(true); }
  void DisableConnectionWatch() override { view_.SetWatchTimerEnabled(false); }

 private:
  MainWindowView& view_;
};

class MainWindowController::Dialogs : public MessageDialog, public InputDialog {
 public:
  explicit Dialogs(MainWindowView& view) : view_(view) {}
  void ShowMessage(const std::string& text) override { view_.ShowMessage(text); }
  bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) override {
    return view_.InputQuery(caption, prompt, value);
  }

 private:
  MainWindowView& view_;
};

// The boxes and fields as the settings store sees them: a box set to another state runs
// its click rule, as a click would.
class MainWindowController::Settings : public SettingsControls {
 public:
  Settings(MainWindowView& view, MainWindowController& window) : view_(view), window_(window) {}
  bool IsChecked(const std::string& box) const override { return view_.IsChecked(box); }
  void SetChecked(const std::string& box, bool checked) override {
    if (view_.IsChecked(box) == checked) return;
    view_.SetChecked(box, checked);
    if (box == "cbtidel") window_.cbtidelClick();
    if (box == "cbautosave") window_.cbautosaveClick();
  }
  std::string FieldText(const std::string& field) const override { return view_.FieldText(field); }
  void SetFieldText(const std::string& field, const std::string& text) override { view_.SetFieldText(field, text); }

 private:
  MainWindowView& view_;
  MainWindowController& window_;
};

// The dialogs and fields the runner-sheet commands (entry import, start assignment) use.
class MainWindowController::SheetCommandDialogs : public FileOpenDialog,
                                                  public EntryImportWindow,
                                                  public StartAssignmentDialogs {
 public:
  explicit SheetCommandDialogs(MainWindowView& view) : view_(view) {}
  std::optional<std::string> ChooseFileToOpen(const OpenDialogOptions& options) override {
    return view_.ChooseFileToOpen(options);
  }
  void SetRaceName(const std::string& name) override { view_.SetFieldText("Edit3", name); }
  void SetAutosaveIndicatorVisible(bool visible) override { view_.SetAutosaveIndicator(visible); }
  DialogAnswer AskYesNoCancel(const std::string& text, const std::string& caption) override {
    return view_.AskYesNoCancel(text, caption);
  }
  bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) override {
    return view_.InputQuery(caption, prompt, value);
  }
  void ShowMessage(const std::string& text) override { view_.ShowMessage(text); }

 private:
  MainWindowView& view_;
};

namespace {

class LinkSender : public ReaderLink {
 public:
  explicit LinkSender(TReaderLink& link) : link_(link) {}
  void SendText(const std::string& text) override { link_.SendText(text); }

 private:
  TReaderLink& link_;
};

}  // namespace

MainWindowController::MainWindowController(MainWindowView& view, EventThread& events, const Clock& clock,
                                           const Locale& locale, std::string data_folder, TSettingsFile& settings,
                                           SerialDeviceSource& devices)
    : view_(view),
      data_folder_(std::move(data_folder)),
      settings_(settings),
      devices_(devices),
      fields_(std::make_unique<WindowFields>(view)),
      dialogs_(std::make_unique<Dialogs>(view)),
      settings_controls_(std::make_unique<Settings>(view, *this)),
      link_(events),
      sender_(std::make_unique<LinkSender>(link_)),
      station_(*fields_, *dialogs_, *sender_, clock, locale, data_folder_,
               [&view](const std::string& text) { view.ShowStatus(text); }) {
  link_.BeforeOpen = [this] { station_.BeforePortOpens(view_.IsChecked("cbclear")); };
  link_.OnPacket = [this](const std::string& packet) {
    station_.HandleReaderMessage(packet);
    view_.TablesChanged();
  };
  link_.OnReceiveError = [this](const std::string& text) { view_.ShowStatus(text); };
  link_.Port().OnAfterOpen = [this] { view_.ShowActivityLamp(); };
  link_.Port().OnError = [this](const ComErrors&) { view_.HideActivityLamp(); };
  grid_excel_io1_ = std::make_unique<TGridExcelIO>(station_.Sheet());
  grid_excel_io2_ = std::make_unique<TGridExcelIO>(station_.ReadTimes());
  for (TGridExcelIO* exchange : {grid_excel_io1_.get(), grid_excel_io2_.get()}) {
    exchange->SetLocale(locale);
    exchange->SetClock(&clock);
  }
  autosave = [this] { AutosaveTables(data_folder_, *grid_excel_io1_, *grid_excel_io2_); };
  reports_ = std::make_unique<WindowReports>(view_, clock, locale, data_folder_);
  mailComposer = std::make_unique<XdgEmailComposer>(XdgEmailComposer::CommandFromEnvironment());
  // "mail.xls" holds the same two sheets as a saved workbook, through the same exchanges.
  writeMailWorkbook = [this](const std::string& path) { SaveBothTables(*grid_excel_io1_, *grid_excel_io2_, path); };
}

MainWindowController::~MainWindowController() {
  try {
    link_.SetConnected(false);
  } catch (...) {
  }
  view_.SetTimerEnabled(WindowTimer::Discovery, false);
}

void MainWindowController::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& error) {
    view_.ShowError(error.what());
  }
  view_.TablesChanged();
}

void MainWindowController::StartUpRoutine() {
  view_.SelectPage(page::kSetup);
  station_.Handler().Flags().AckSuppressed = false;
  view_.SetLogPathLabel("Logfile path:" + data_folder_);
  view_.ClearPortList();
  // A port that cannot be opened is reported, and the routine goes on: the settings must
  // be loaded, or the close would store the defaults over them.
  Guarded([this] { ReaderDiscovery(devices_, view_, link_); });
  station_.Handler().ResetForStartUp();
  LoadSettings(settings_, *settings_controls_);
  station_.Handler().SetMillisecondMode(view_.IsChecked("cbtidel"));
  view_.SetTimerEnabled(WindowTimer::Autosave, view_.IsChecked("cbautosave"));
}

void MainWindowController::Timer2Tick() { WatchTick(view_, link_); }

void MainWindowController::Timer3Tick() { RunAutosave(); }

void MainWindowController::RunAutosave() {
  if (!autosave) return;
  view_.SetAutosaveIndicator(true);
  try {
    autosave();
  } catch (...) {
    // The minute autosave and the one at close never stop the program.
  }
  view_.SetAutosaveIndicator(false);
}

bool MainWindowController::CloseRequested() {
  try {
    SaveSettings(settings_, *settings_controls_);
  } catch (const std::exception& error) {
    view_.ShowMessage(error.what());
    return false;
  }
  if (view_.IsChecked("cbautosave")) RunAutosave();
  return true;
}

void MainWindowController::cbtidelClick() { station_.Handler().SetMillisecondMode(view_.IsChecked("cbtidel")); }

void MainWindowController::cbautosaveClick() {
  view_.SetTimerEnabled(WindowTimer::Autosave, view_.IsChecked("cbautosave"));
}

void MainWindowController::PageTabClicked(int index) {
  view_.SelectPage(index);
  view_.ShowOptionsPanel();
}

void MainWindowController::SetupReadTimesClick() {
  view_.ShowOptionsPanel();
  view_.SelectPage(page::kReadTimes);
}

void MainWindowController::SetupExcelTimingClick() {
  view_.ShowOptionsPanel();
  view_.SelectPage(page::kExcelTiming);
}

void MainWindowController::ShowHelpClick() { view_.SelectPage(page::kHelp); }

void MainWindowController::OnlineClick() {
  Guarded([this] { view_.OpenUrl(kMakerAddress); });
}

void MainWindowController::SerialPortPropertiesClick() {
  Guarded([this] {
    std::vector<std::string> names;
    if (const auto devices = devices_.ListDevices()) {
      for (const SerialDevice& device : *devices) names.push_back(device.portName);
    }
    ComSetupChoices choices = CurrentComSetup(link_.Port(), names);
    if (view_.ShowComSetup(choices)) ApplyComSetup(link_.Port(), choices);
  });
}

void MainWindowController::GetDataAgainClick() {
  Guarded([this] { RequestResend(*dialogs_, *sender_, station_.Handler().Flags(), *fields_); });
}

void MainWindowController::StartStopClick() {
  Guarded([this] { StartStopCommunication(view_, link_); });
}

void MainWindowController::SearchReadersClick() {
  Guarded([this] { SearchReaders(devices_, view_, link_); });
}

void MainWindowController::ComPortsClick() {
  Guarded([this] { ReaderDiscovery(devices_, view_, link_); });
}

void MainWindowController::PortListChosen(int index) {
  Guarded([this, index] { ChoosePort(view_, link_, index); });
}

void MainWindowController::AboutClick() { view_.ShowAbout(); }

void MainWindowController::GetDataFromKlubbenOnlineClick() {
  Guarded([this] {
    SheetCommandDialogs dialogs(view_);
    RunEntryImportCommand(dialogs, station_.Sheet(), entry_import_, dialogs);
  });
}

void MainWindowController::AssignStartNumbersClick() {
  Guarded([this] {
    SheetCommandDialogs dialogs(view_);
    SeededDrawSource draw = SeededDrawSource::FromClock();
    AssignStartNumbersAndTimes(station_.Sheet(), dialogs, draw, view_.FieldText("MaskEditEx1"), previous_class_);
  });
}

void MainWindowController::MailClick() {
  Guarded([this] {
    MailCommandContext context;
    context.race = view_.FieldText("Edit3");
    context.sub = view_.FieldText("Edit2");
    context.folder = data_folder_;
    context.chronexLog = view_.IsChecked("cbchronex");
    context.bfgLog = view_.IsChecked("cbbfg");
    context.prompt = dialogs_.get();
    context.composer = mailComposer.get();
    context.readAddress = [this] { return ReadMailAddress(settings_); };
    context.writeAddress = [this](const std::string& address) { WriteMailAddress(settings_, address); };
    context.writeWorkbook = writeMailWorkbook;
    context.autosaveIndicator = [this](bool shown) { view_.SetAutosaveIndicator(shown); };
    context.note = [this](const std::string& text) { view_.ShowStatus(text); };
    RunMailCommand(context);
  });
}

void MainWindowController::OpenExcelFileClick() {
  Guarded([this] {
    OpenDialogOptions options = OpenExcelDialogOptions();
    options.file_name = open_excel_name_;
    const std::optional<std::string> file = view_.ChooseFileToOpen(options);
    if (file) open_excel_name_ = *file;
    OpenRunnerSheet(*grid_excel_io1_, file, RunnerSheetHeadings());
  });
}

void MainWindowController::SaveAsExcelFileClick() {
  Guarded([this] {
    SaveDialogOptions options = SaveExcelDialogOptions();
    options.file_name = save_excel_name_;
    const std::optional<std::string> file = view_.ChooseFileToSave(options);
    if (!file) return;
    save_excel_name_ = *file;
    SaveBothTables(*grid_excel_io1_, *grid_excel_io2_, *file);
  });
}

void MainWindowController::SaveAsXmlFileClick() {
  Guarded([this] {
    SaveDialogOptions options = SaveXmlDialogOptions();
    options.file_name = save_xml_name_;
    const std::optional<std::string> file = view_.ChooseFileToSave(options);
    if (!file) return;
    save_xml_name_ = *file;
    SaveTableAsXml(station_.ReadTimes(), ReadTimesHeadings(), *file);
  });
}

void MainWindowController::PrintClick() {
  Guarded([this] { reports_->Print(station_.ReadTimes(), station_.Sheet()); });
}

void MainWindowController::SaveAsHtmlFileClick() {
  Guarded([this] { reports_->SaveAsHtml(station_.ReadTimes(), station_.Sheet()); });
}

void MainWindowController::PrintStartListClick() {
  Guarded([this] { reports_->StartList(station_.Sheet()); });
}

void MainWindowController::PrintResultListClick() {
  Guarded([this] { reports_->ResultList(station_.Sheet()); });
}

void MainWindowController::ReadTimesRightClick(int row, int shown_col) {
  Guarded([&] { ReadTimesHeaderRightClick(station_.ReadTimes(), row, shown_col); });
}

void MainWindowController::SheetEditingDone(int row) {
  Guarded([&] { ApplyNetTimeRule(station_.Sheet(), row); });
}

void MainWindowController::SheetRowInsertedByKey(int row) {
  Guarded([&] { ApplyInsertedRowRule(station_.Sheet(), row, previous_class_); });
}

}  // namespace ln40
