#include "app/main_window_controller.h"

#include <exception>

#include "link/reader_discovery.h"
#include "reports/mail_command.h"
#include "reports/xdg_email_composer.h"
#include "sheet/runner_sheet.h"
#include "timing/read_times_table.h"
#include "exchange/grid_excel_io.h"
#include "reports/table_xml_export.h"
#include "exchange/workbook_commands.h"

namespace ln40 {

// The window as the timing session sees it.
class MainWindowController::FrontEnd : public SessionFrontEnd {
 public:
  explicit FrontEnd(MainWindowView& view) : view_(view) {}
  StationOptions Options() const override { return view_.Options(); }
  void SetNulltime(const std::string& text) override {
    StationOptions options = view_.Options();
    options.nulltime = text;
    view_.ShowOptions(options);
  }
  void ShowMessage(const std::string& text) override { view_.ShowMessage(text); }
  void ShowStatus(const std::string& text) override { view_.ShowStatus(text); }
  void ShowWarning(const std::string& text) override { view_.ShowWarning(text); }
  void ShowActivityLamp() override { view_.ShowActivityLamp(); }
  void SetAutosaveIndicator(bool shown) override { view_.SetAutosaveIndicator(shown); }
  void LineHandled(const std::string&) override { view_.TablesChanged(); }
  void TablesReplaced() override { view_.TablesChanged(); }

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

// The dialogs and fields the runner-sheet commands (entry import, start assignment) use.
class MainWindowController::SheetCommandDialogs : public FileOpenDialog,
                                                  public EntryImportWindow,
                                                  public StartAssignmentDialogs {
 public:
  explicit SheetCommandDialogs(MainWindowView& view) : view_(view) {}
  std::optional<std::string> ChooseFileToOpen(const OpenDialogOptions& options) override {
    return view_.ChooseFileToOpen(options);
  }
  void SetRaceName(const std::string& name) override {
    StationOptions options = view_.Options();
    options.raceName = name;
    view_.ShowOptions(options);
  }
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

MainWindowController::MainWindowController(MainWindowView& view, EventThread& events, EventTimers& timers,
                                           const Clock& clock, const Locale& locale, std::string data_folder,
                                           TSettingsFile& settings, SerialDeviceSource& devices)
    : view_(view),
      data_folder_(std::move(data_folder)),
      settings_(settings),
      devices_(devices),
      front_end_(std::make_unique<FrontEnd>(view)),
      dialogs_(std::make_unique<Dialogs>(view)) {
  SessionSetup setup;
  setup.dataFolder = data_folder_;
  setup.clock = &clock;
  setup.locale = locale;
  setup.events = &events;
  setup.timers = &timers;
  setup.devices = &devices;
  setup.portList = &view;
  session_ = std::make_unique<TimingSession>(setup, *front_end_);
  session_->onDiscoveryTick = [this] { Timer1Tick(); };
  reports_ = std::make_unique<WindowReports>(view_, clock, locale, data_folder_);
  mailComposer = std::make_unique<XdgEmailComposer>(XdgEmailComposer::CommandFromEnvironment());
  // "mail.xls" holds the same two sheets as a saved workbook, through the same exchanges.
  writeMailWorkbook = [this](const std::string& path) { SaveBothTables(GridExcelIO1(), GridExcelIO2(), path); };
}

// The session's destruction closes the link.
MainWindowController::~MainWindowController() = default;

void MainWindowController::Guarded(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& error) {
    view_.ShowError(error.what());
  }
  view_.TablesChanged();
}

void MainWindowController::RunDiscovery(const std::function<void()>& discover, bool asked) {
  try {
    discover();
    discovery_error_.clear();
  } catch (const std::exception& error) {
    const bool said = !asked && discovery_error_ == error.what();
    // Kept before the box is shown: the retry timer ticks while it is open.
    discovery_error_ = error.what();
    if (!said) view_.ShowError(error.what());
  }
  view_.TablesChanged();
}

void MainWindowController::RetryDiscovery() {
  RunDiscovery([this] { session_->Discover(); }, false);
  if (discovery_error_.empty() && Link().Connected()) view_.ShowStatus("Connected to " + Link().Port().Port());
}

// Timer1 runs the whole start-up routine again while no port is found, discovery alone
// while the port found cannot be opened.
void MainWindowController::Timer1Tick() {
  if (discovery_error_.empty()) {
    StartUpRoutine();
  } else {
    RetryDiscovery();
  }
}

void MainWindowController::StartUpRoutine() {
  view_.SelectPage(page::kSetup);
  // The first run finds the journal; an interrupted race is restored before the port opens.
  session_->Start();
  view_.SetLogPathLabel("Logfile path:" + data_folder_);
  view_.ClearPortList();
  // A port that cannot be opened is reported, and the routine goes on: the settings must
  // be loaded, or the close would store the defaults over them.
  RunDiscovery([this] { session_->Discover(); }, false);
  session_->ResetDecoderFlags();
  StationOptions options = view_.Options();
  LoadSettings(settings_, options);
  view_.ShowOptions(options);
  session_->SetKeepMilliseconds(options.keepMilliseconds);
  session_->SetAutosaveEnabled(options.autosave);
}

bool MainWindowController::CloseRequested() {
  const StationOptions options = view_.Options();
  try {
    SaveSettings(settings_, options);
  } catch (const std::exception& error) {
    view_.ShowMessage(error.what());
    return false;
  }
  view_.SetAutosaveIndicator(options.autosave);
  // A failed final autosave never keeps the window open; what the user must know about it
  // (the journal keeps the run, or the rescue file the tables went to) is said first.
  const std::string trouble = session_->Stop(options.autosave);
  view_.SetAutosaveIndicator(false);
  if (!trouble.empty()) view_.ShowMessage(trouble);
  return true;
}

void MainWindowController::cbtidelClick() { session_->SetKeepMilliseconds(view_.Options().keepMilliseconds); }

void MainWindowController::cbautosaveClick() { session_->SetAutosaveEnabled(view_.Options().autosave); }

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
    ComSetupChoices choices = CurrentComSetup(Link().Port(), names);
    if (view_.ShowComSetup(choices)) ApplyComSetup(Link().Port(), choices);
  });
}

void MainWindowController::GetDataAgainClick() {
  Guarded([this] { session_->RequestResend(*dialogs_); });
}

void MainWindowController::StartStopClick() {
  Guarded([this] { session_->StartStop(); });
}

void MainWindowController::SearchReadersClick() {
  RunDiscovery([this] { session_->SearchReaders(); }, true);
}

// Discovery fills the list afresh: added to what is there, every press would list each
// port once more.
void MainWindowController::ComPortsClick() {
  RunDiscovery([this] { session_->Discover(); }, true);
}

void MainWindowController::PortListChosen(int index) {
  Guarded([this, index] { session_->ChoosePort(index); });
}

void MainWindowController::AboutClick() { view_.ShowAbout(); }

void MainWindowController::GetDataFromKlubbenOnlineClick() {
  Guarded([this] {
    SheetCommandDialogs dialogs(view_);
    RunEntryImportCommand(dialogs, Sheet(), entry_import_, dialogs);
  });
}

void MainWindowController::AssignStartNumbersClick() {
  Guarded([this] {
    SheetCommandDialogs dialogs(view_);
    SeededDrawSource draw = SeededDrawSource::FromClock();
    AssignStartNumbersAndTimes(Sheet(), dialogs, draw, view_.Options().nulltime, previous_class_);
  });
}

void MainWindowController::MailClick() {
  Guarded([this] {
    const StationOptions options = view_.Options();
    MailCommandContext context;
    context.race = options.raceName;
    context.sub = options.subName;
    context.folder = data_folder_;
    context.chronexLog = options.chronexLog;
    context.bfgLog = options.bfgLog;
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
    OpenRunnerSheet(GridExcelIO1(), file, RunnerSheetHeadings());
  });
}

void MainWindowController::SaveAsExcelFileClick() {
  Guarded([this] {
    SaveDialogOptions options = SaveExcelDialogOptions();
    options.file_name = save_excel_name_;
    const std::optional<std::string> file = view_.ChooseFileToSave(options);
    if (!file) return;
    save_excel_name_ = *file;
    SaveBothTables(GridExcelIO1(), GridExcelIO2(), *file);
  });
}

void MainWindowController::SaveAsXmlFileClick() {
  Guarded([this] {
    SaveDialogOptions options = SaveXmlDialogOptions();
    options.file_name = save_xml_name_;
    const std::optional<std::string> file = view_.ChooseFileToSave(options);
    if (!file) return;
    save_xml_name_ = *file;
    SaveTableAsXml(ReadTimes(), ReadTimesHeadings(), *file);
  });
}

void MainWindowController::PrintClick() {
  Guarded([this] { reports_->Print(ReadTimes(), Sheet()); });
}

void MainWindowController::SaveAsHtmlFileClick() {
  Guarded([this] { reports_->SaveAsHtml(ReadTimes(), Sheet()); });
}

void MainWindowController::PrintStartListClick() {
  Guarded([this] { reports_->StartList(Sheet()); });
}

void MainWindowController::PrintResultListClick() {
  Guarded([this] { reports_->ResultList(Sheet()); });
}

void MainWindowController::ReadTimesRightClick(int row, int shown_col) {
  Guarded([&] { ReadTimesHeaderRightClick(ReadTimes(), row, shown_col); });
}

void MainWindowController::SheetEditingDone(int row) {
  Guarded([&] { ApplyNetTimeRule(Sheet(), row); });
}

void MainWindowController::SheetRowInsertedByKey(int row) {
  Guarded([&] { ApplyInsertedRowRule(Sheet(), row, previous_class_); });
}

}  // namespace ln40
