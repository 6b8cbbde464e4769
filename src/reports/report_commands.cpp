#include "reports/report_commands.h"

#include "reports/print_layout.h"

namespace ln40 {
namespace {

ListCommandResult RunListCommand(ListDocument& doc, const char* page_name, const ListCommandContext& context) {
  ListCommandResult result;
  if (context.printer != nullptr) {
    const SystemClock system_clock;
    const Clock& clock = context.clock != nullptr ? *context.clock : system_clock;
    PrintDialogOptions options;
    options.bordersEnabled = false;
    result.printed = PrintWithDialog(doc.table, doc.look, doc.print, options, *context.printer, clock, context.locale);
  }
  result.pagePath = context.folder + page_name;
  SaveAsHTML(doc.table, doc.html, doc.look, result.pagePath, context.viewer);
  return result;
}

}  // namespace

bool PrintWithDialog(const TGridTable& table, const TableLook& look, PrintSettings& settings,
                     const PrintDialogOptions& options, PrintHost& host, const Clock& clock, const Locale& locale) {
  PrintSettingsEdit edit(settings);
  if (!host.ShowPrintSettingsDialog(table, look, settings, options)) {
    edit.Cancel();
    return false;
  }
  edit.Accept();
  const std::string job_name = !settings.TitleText.empty()         ? settings.TitleText
                               : !settings.TitleLines.empty()      ? settings.TitleLines.front()
                                                                   : std::string("LN40");
  std::unique_ptr<PrintCanvas> canvas = host.BeginPrintJob(job_name, settings.Orientation);
  if (!canvas) return false;
  PrintTable(table, settings, look, *canvas, clock.Now(), locale);
  return true;
}

bool RunPrintCommand(const TGridTable& table, const TableLook& look, PrintSettings& settings, const std::string& race,
                     const std::string& sub, PrintHost& host, const Clock& clock, const Locale& locale) {
  settings.TitleText = race + " " + sub;
  return PrintWithDialog(table, look, settings, PrintDialogOptions{}, host, clock, locale);
}

ListCommandResult RunResultListCommand(const TGridTable& sheet, const ListCommandContext& context) {
  ListDocument doc = BuildResultList(sheet, context.race, context.sub, context.colors);
  return RunListCommand(doc, kResultsPageName, context);
}

ListCommandResult RunStartListCommand(const TGridTable& sheet, const ListCommandContext& context) {
  ListDocument doc = BuildStartList(sheet, context.race, context.sub, context.colors);
  return RunListCommand(doc, kStartPageName, context);
}

}  // namespace ln40
