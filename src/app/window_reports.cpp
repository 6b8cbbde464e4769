#include "app/window_reports.h"

#include "app/workbook_dialogs.h"
#include "reports/html_export.h"

namespace ln40 {

WindowReports::WindowReports(MainWindowView& view, const Clock& clock, const Locale& locale, std::string data_folder)
    : view_(view),
      clock_(clock),
      locale_(locale),
      data_folder_(std::move(data_folder)),
      read_times_print_(ReadTimesPrintSettings()),
      sheet_print_(RunnerSheetPrintSettings()) {}

TableLook WindowReports::Look() const { return BandedTableLook(view_.DesktopColors()); }

OpenFileInViewer WindowReports::Viewer() const {
  return [this](const std::string& path) { view_.OpenUrl(FileUrl(path)); };
}

void WindowReports::Print(const TGridTable& read_times, const TGridTable& sheet) {
  PrintHost* printer = view_.Printer();
  if (printer == nullptr) return;
  const bool on_read_times = view_.CurrentPage() == page::kReadTimes;
  RunPrintCommand(on_read_times ? read_times : sheet, Look(), on_read_times ? read_times_print_ : sheet_print_,
                  view_.Options().raceName, view_.Options().subName, *printer, clock_, locale_);
}

void WindowReports::SaveAsHtml(const TGridTable& read_times, const TGridTable& sheet) {
  const int page = view_.CurrentPage();
  if (page != page::kExcelTiming && page != page::kReadTimes) return;
  const TGridTable& table = page == page::kExcelTiming ? sheet : read_times;
  HTMLSettings& settings = page == page::kExcelTiming ? sheet_html_ : read_times_html_;
  const TableLook look = Look();
  const OpenFileInViewer viewer = Viewer();
  const auto preview = [&](const HTMLSettings& values) { PreviewHtml(table, values, look, viewer); };
  if (!view_.ShowHtmlSettings(settings, preview)) return;

  // The dialog only edits the settings; the page itself goes to a file the user names.
  SaveDialogOptions options;
  options.title = "Save as html file";
  options.filters = {{"HTML Files (*.htm, *.html)", "*.htm *.html"}, {"All Files (*.*)", "*.*"}};
  options.default_extension = "htm";
  options.confirm_overwrite = true;
  options.file_name = last_html_file_;
  const std::optional<std::string> file = view_.ChooseFileToSave(options);
  if (!file) return;
  last_html_file_ = *file;
  SaveAsHTML(table, settings, look, *file, viewer);
}

ListCommandContext WindowReports::ListContext() const {
  ListCommandContext context;
  context.race = view_.Options().raceName;
  context.sub = view_.Options().subName;
  context.folder = data_folder_;
  context.printer = view_.Printer();
  context.clock = &clock_;
  context.locale = locale_;
  context.colors = view_.DesktopColors();
  context.viewer = Viewer();
  return context;
}

ListCommandResult WindowReports::ResultList(const TGridTable& sheet) {
  return RunResultListCommand(sheet, ListContext());
}

ListCommandResult WindowReports::StartList(const TGridTable& sheet) {
  return RunStartListCommand(sheet, ListContext());
}

std::string FileUrl(const std::string& path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                       byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
    if (plain) {
      url += c;
    } else {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 0x0F];
    }
  }
  return url;
}

}  // namespace ln40
