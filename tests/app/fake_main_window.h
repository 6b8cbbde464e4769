#pragma once
// The main window as plain values, for the controller's tests.
#include <map>
#include <string>
#include <vector>

#include "app/main_window_view.h"

namespace ln40::testing {

class FakeMainWindow : public MainWindowView {
 public:
  int page = 0;
  bool panel = false;
  StationOptions options;
  std::string log_label = "All logfiles are stored into";
  std::vector<std::string> entries;
  int selected = -1;
  std::string status = "?";
  bool lamp = false;
  bool autosave_indicator = false;
  std::vector<std::string> statuses, errors, messages;
  std::string warning;
  std::vector<std::string> urls;
  int about = 0;
  int tables_changed = 0;
  bool input_ok = true;
  std::string input_answer;
  std::optional<std::string> file_to_open;
  std::optional<std::string> file_to_save;  // as typed; the default extension is added
  std::vector<OpenDialogOptions> open_dialogs;
  std::vector<SaveDialogOptions> save_dialogs;
  DialogAnswer answer = DialogAnswer::No;
  std::vector<std::string> questions;

  void SelectPage(int index) override { page = index; }
  int CurrentPage() const override { return page; }
  void ShowOptionsPanel() override { panel = true; }
  bool OptionsPanelVisible() const override { return panel; }
  StationOptions Options() const override { return options; }
  void ShowOptions(const StationOptions& shown) override { options = shown; }
  void SetLogPathLabel(const std::string& text) override { log_label = text; }
  void ShowActivityLamp() override { lamp = true; }
  void HideActivityLamp() override { lamp = false; }
  void SetAutosaveIndicator(bool shown) override { autosave_indicator = shown; }
  void ShowStatus(const std::string& text) override { statuses.push_back(text); }
  void ShowWarning(const std::string& text) override { warning = text; }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  bool InputQuery(const std::string&, const std::string&, std::string& value) override {
    if (!input_answer.empty()) value = input_answer;
    return input_ok;
  }
  bool ShowComSetup(ComSetupChoices&) override { return false; }
  void ShowAbout() override { ++about; }
  void OpenUrl(const std::string& url) override { urls.push_back(url); }
  std::optional<std::string> ChooseFileToOpen(const OpenDialogOptions& options) override {
    open_dialogs.push_back(options);
    return file_to_open;
  }
  std::optional<std::string> ChooseFileToSave(const SaveDialogOptions& options) override {
    save_dialogs.push_back(options);
    if (!file_to_save) return std::nullopt;
    return WithDefaultExtension(*file_to_save, options.default_extension);
  }
  DialogAnswer AskYesNoCancel(const std::string& text, const std::string&) override {
    questions.push_back(text);
    return answer;
  }
  void TablesChanged() override { ++tables_changed; }

  void ClearPortList() override {
    entries.clear();
    selected = -1;
  }
  void AddPortListEntry(const std::string& text) override { entries.push_back(text); }
  int PortListCount() const override { return static_cast<int>(entries.size()); }
  std::string PortListEntry(int index) const override { return entries.at(static_cast<size_t>(index)); }
  int SelectedPortListEntry() const override { return selected; }
  void SelectPortListEntry(int index) override { selected = index; }
  std::string TimeStatus() const override { return status; }
  void SetTimeStatus(const std::string& text) override { status = text; }
};

}  // namespace ln40::testing
