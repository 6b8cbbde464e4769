#pragma once
// The main window of ln40util: toolbar, the four pages ("Read times", "Excel timing",
// "Help", "Setup"), the options panel and the status area, bound to the
// Qt-free MainWindowController. The window only shows and forwards: every rule lives in the
// controller, which reaches the widgets through the MainWindowView interface implemented
// here. Everything runs on the GUI thread, which is also the link's event thread.
#include <QSet>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/main_window_controller.h"
#include "app/main_window_view.h"
#include "qt_event_thread.h"
#include "table/find_dialog.h"
#include "table/grid_keys.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTextEdit;
class QTimer;
class QToolButton;
class QBoxLayout;

namespace ln40::gui {

class AboutBox;
class FindTextDialog;
class GridTableModel;
class GridView;
class QtPrintHost;

// What the window is made of beyond its widgets.
struct WindowSetup {
  std::string data_folder;    // the program's folder, with a trailing "/"
  std::string settings_path;  // the settings store's file
  Locale locale;
  std::unique_ptr<Clock> clock;
  std::unique_ptr<SerialDeviceSource> devices;
};

class MainWindow : public QWidget, public MainWindowView {
  Q_OBJECT

 public:
  explicit MainWindow(WindowSetup setup, QWidget* parent = nullptr);
  // Destroys the controller first, which closes the link while the widgets still exist.
  ~MainWindow() override;

  MainWindowController& Controller() { return *controller_; }
  GridView* ReadTimesView() const { return read_times_view_; }
  GridView* SheetView() const { return sheet_view_; }
  GridTableModel* ReadTimesModel() const { return read_times_model_; }
  GridTableModel* SheetModel() const { return sheet_model_; }
  AboutBox* About() const { return about_; }
  FindTextDialog* FindDialog() const { return find_dialog_; }
  FindDialogState& FindState() { return find_state_; }

  // The grids' zoom in percent: both grids' font and column widths, kept in the settings
  // at once. Ctrl+plus, Ctrl+minus, Ctrl+0 and Ctrl+wheel over a grid change it.
  void SetGridZoom(int percent);
  int GridZoom() const { return grid_zoom_; }

  // "Search for data": the find dialog on the runner sheet when the "Excel timing" page is
  // shown, else on the read-times table.
  void SearchForData();

  // MainWindowView
  void SelectPage(int index) override;
  int CurrentPage() const override;
  void ShowOptionsPanel() override;
  bool OptionsPanelVisible() const override;
  StationOptions Options() const override;
  void ShowOptions(const StationOptions& options) override;
  void SetLogPathLabel(const std::string& text) override;
  void ShowActivityLamp() override;
  void SetAutosaveIndicator(bool shown) override;
  void ShowStatus(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowMessage(const std::string& text) override;
  bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
  std::optional<std::string> ChooseFileToOpen(const OpenDialogOptions& options) override;
  std::optional<std::string> ChooseFileToSave(const SaveDialogOptions& options) override;
  DialogAnswer AskYesNoCancel(const std::string& text, const std::string& caption) override;
  bool ShowComSetup(ComSetupChoices& choices) override;
  void ShowAbout() override;
  void OpenUrl(const std::string& url) override;
  PrintHost* Printer() override;
  bool ShowHtmlSettings(HTMLSettings& settings, const std::function<void(const HTMLSettings&)>& preview) override;
  SystemColors DesktopColors() const override;
  void TablesChanged() override;

  // PortListControls
  void ClearPortList() override;
  void AddPortListEntry(const std::string& text) override;
  int PortListCount() const override;
  std::string PortListEntry(int index) const override;
  int SelectedPortListEntry() const override;
  void SelectPortListEntry(int index) override;
  std::string TimeStatus() const override;
  void SetTimeStatus(const std::string& text) override;
  void HideActivityLamp() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QWidget* BuildToolbar();
  QWidget* BuildPages();
  QWidget* BuildSetupPage();
  QWidget* BuildOptionsPanel();
  QWidget* BuildStatusArea();
  void BuildSheetMenu();
  // The editing keys of both tables and the clipboard they share.
  void BindKeys();
  // The zoom keys and Ctrl+wheel over the grids.
  void BindZoom();
  QToolButton* AddToolButton(QBoxLayout* layout, const char* name, const char* hint, const char* icon,
                             std::function<void()> command);

  // Runs a controller command from a widget; what it throws goes to the standard error
  // report, since Qt's event loop must not see exceptions.
  void Run(const std::function<void()>& command);

  QtEventThread events_;
  QtEventTimers timers_;
  WindowSetup setup_;
  std::unique_ptr<TSettingsFile> settings_;
  std::unique_ptr<MainWindowController> controller_;

  QTabWidget* pages_ = nullptr;
  QWidget* options_panel_ = nullptr;
  QComboBox* port_list_ = nullptr;
  GridTableModel* read_times_model_ = nullptr;
  GridTableModel* sheet_model_ = nullptr;
  GridView* read_times_view_ = nullptr;
  GridView* sheet_view_ = nullptr;
  QTextEdit* help_ = nullptr;
  // The option boxes, in the order of the options panel.
  struct OptionBoxes {
    QCheckBox* keepMilliseconds = nullptr;
    QCheckBox* autosave = nullptr;
    QCheckBox* clearOnOpen = nullptr;
    QCheckBox* chronexLog = nullptr;
    QCheckBox* bfgLog = nullptr;
    QCheckBox* removeLeadingZeros = nullptr;
    QCheckBox* insertUnknownRunners = nullptr;
  } option_boxes_;
  QLineEdit* nulltime_field_ = nullptr;
  QLineEdit* race_name_field_ = nullptr;
  QLineEdit* sub_name_field_ = nullptr;
  QLineEdit* time_status_ = nullptr;
  QToolButton* activity_lamp_ = nullptr;
  QToolButton* autosave_indicator_ = nullptr;
  QLabel* log_path_label_ = nullptr;
  QLabel* status_note_ = nullptr;
  QLabel* warning_ = nullptr;
  QTimer* status_note_timer_ = nullptr;
  AboutBox* about_ = nullptr;
  std::unique_ptr<QtPrintHost> print_host_;  // made on first use

  std::unique_ptr<TextClipboard> clipboard_;
  std::unique_ptr<GridKeyHandler> sheet_keys_;
  std::unique_ptr<GridKeyHandler> read_times_keys_;
  // The find dialog's texts, boxes and last found cell, for the whole run.
  FindDialogState find_state_;
  FindTextDialog* find_dialog_ = nullptr;

  int grid_zoom_ = 100;
  bool selecting_page_ = false;  // a page change made by the program, not the user
  bool started_ = false;
  QSet<QString> open_errors_;  // error texts whose box is open, so a repeat does not stack
};

}  // namespace ln40::gui
