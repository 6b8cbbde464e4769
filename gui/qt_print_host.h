#pragma once
// QtPrintHost: printing for the window. The "Print Settings" dialog, then one job on the
// printer the user picks in the platform's print dialog (which also offers printing into a
// PDF file), or straight into a PDF file when one has been named. On a computer without a
// printer the print dialog says so and offers the PDF file at once.
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "reports/report_commands.h"
#include "text/clock.h"
#include "text/locale.h"

class QPrinter;
class QWidget;

namespace ln40::gui {

class PrintSettingsDialog;

// The name of the PDF file a print job goes to: the job's name (Windows-1252) with ".pdf"
// added, whatever dots it holds ("Startliste V\xE5rl\xF8pet 10.10.04.pdf"); a "/" becomes "-".
QString PdfFileNameFor(const std::string& job_name);

class QtPrintHost : public PrintHost {
 public:
  QtPrintHost(QWidget* parent, const Clock& clock, const Locale& locale);
  ~QtPrintHost() override;

  // Every further job goes to this PDF file (UTF-8 name) without the print dialog; an empty
  // name goes back to the printer.
  void SetPdfPath(std::string path) { pdf_path_ = std::move(path); }

  // Runs the settings dialog; the default shows it modally. Tests answer it themselves.
  using DialogRunner = std::function<bool(PrintSettingsDialog& dialog)>;
  void SetDialogRunner(DialogRunner runner) { run_dialog_ = std::move(runner); }

  // Whether a printer is set up; the default asks the print system. Tests pick the answer.
  void SetPrinterCheck(std::function<bool()> check) { has_printer_ = std::move(check); }

  bool ShowPrintSettingsDialog(const TGridTable& table, const TableLook& look, PrintSettings& settings,
                               const PrintDialogOptions& options) override;
  std::unique_ptr<PrintCanvas> BeginPrintJob(const std::string& job_name, PageOrientation orientation) override;

 private:
  QPointer<QWidget> parent_;
  const Clock& clock_;
  Locale locale_;
  std::string pdf_path_;
  DialogRunner run_dialog_;
  std::function<bool()> has_printer_;
  // Where the last PDF file went without a printer; the next one is offered there.
  QString pdf_folder_;
  // Kept for the whole run, so the printer and its options chosen once stay chosen.
  std::unique_ptr<QPrinter> printer_;
};

}  // namespace ln40::gui
