#include "qt_print_host.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWidget>

#include "no_printer_dialog.h"
#include "print_settings_dialog.h"
#include "qt/pdf_print_job.h"
#include "qt/qt_print_canvas.h"
#include "qt_text.h"

namespace ln40::gui {
namespace {

// A job on the shared printer: the painter ends the job when the canvas is released.
class PrinterJobCanvas : public PrintCanvas {
 public:
  explicit PrinterJobCanvas(QPrinter& printer) : printer_(printer) {}
  ~PrinterJobCanvas() override {
    canvas_.reset();
    if (painter_.isActive()) painter_.end();
  }

  bool Begin() {
    if (!painter_.begin(&printer_)) return false;
    // The painter's origin is the top left corner of the printable area.
    const QRectF area = printer_.pageLayout().paintRect(QPageLayout::Millimeter);
    canvas_ = std::make_unique<QtPaintCanvas>(painter_, static_cast<int>(area.width() * 10),
                                              static_cast<int>(area.height() * 10), [this] { printer_.newPage(); });
    return true;
  }

  int PageWidth() const override { return canvas_->PageWidth(); }
  int PageHeight() const override { return canvas_->PageHeight(); }
  int TextWidth(const FontSpec& font, std::string_view text) override { return canvas_->TextWidth(font, text); }
  int TextHeight(const FontSpec& font) override { return canvas_->TextHeight(font); }
  void FillRect(const PrintRect& rect, CellColor color) override { canvas_->FillRect(rect, color); }
  void DrawLine(int x1, int y1, int x2, int y2, int width, LineStyle style) override {
    canvas_->DrawLine(x1, y1, x2, y2, width, style);
  }
  void DrawText(int x, int y, std::string_view text, const FontSpec& font, CellColor color,
                const PrintRect& clip) override {
    canvas_->DrawText(x, y, text, font, color, clip);
  }
  void NewPage() override { canvas_->NewPage(); }

 private:
  QPrinter& printer_;
  QPainter painter_;
  std::unique_ptr<QtPaintCanvas> canvas_;
};

}  // namespace

QString PdfFileNameFor(const std::string& job_name) {
  QString name = ToQt(job_name);
  name.replace(QLatin1Char('/'), QLatin1Char('-'));  // a "/" in a race name is no folder
  return name + QStringLiteral(".pdf");
}

QtPrintHost::QtPrintHost(QWidget* parent, const Clock& clock, const Locale& locale)
    : parent_(parent), clock_(clock), locale_(locale) {
  run_dialog_ = [](PrintSettingsDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
  has_printer_ = [] { return !QPrinterInfo::availablePrinters().isEmpty(); };
}

QtPrintHost::~QtPrintHost() = default;

bool QtPrintHost::ShowPrintSettingsDialog(const TGridTable& table, const TableLook& look, PrintSettings& settings,
                                          const PrintDialogOptions& options) {
  PrintSettingsDialog dialog(table, look, settings, options, clock_.Now(), locale_, parent_);
  return run_dialog_(dialog);
}

std::unique_ptr<PrintCanvas> QtPrintHost::BeginPrintJob(const std::string& job_name, PageOrientation orientation) {
  if (!pdf_path_.empty()) return BeginPdfPrintJob(pdf_path_, job_name, orientation);
  if (!has_printer_()) {
    const QString folder = pdf_folder_.isEmpty() ? QDir::homePath() : pdf_folder_;
    NoPrinterDialog dialog(QDir(folder).filePath(PdfFileNameFor(job_name)), parent_);
    if (dialog.exec() != QDialog::Accepted) return nullptr;
    const QString file = dialog.PdfFile();
    pdf_folder_ = QFileInfo(file).absolutePath();
    // A file-system name: UTF-8, as Linux takes it.
    return BeginPdfPrintJob(file.toStdString(), job_name, orientation);
  }

  if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer_->setPageOrientation(orientation == PageOrientation::Landscape ? QPageLayout::Landscape
                                                                         : QPageLayout::Portrait);
  // The print dialog names its PDF file after the document, the document's last ".xxx"
  // replaced by ".pdf": a sub name such as "10.10.04" would lose its ".04". Named with ".pdf"
  // already, only that goes. The job takes its own name into the print queue.
  printer_->setDocName(PdfFileNameFor(job_name));
  QPrintDialog dialog(printer_.get(), parent_);
  dialog.setObjectName(QStringLiteral("PrintDialog"));
  const bool accepted = dialog.exec() == QDialog::Accepted;
  printer_->setDocName(ToQt(job_name));
  if (!accepted) return nullptr;
  auto canvas = std::make_unique<PrinterJobCanvas>(*printer_);
  if (!canvas->Begin()) {
    QMessageBox::warning(parent_, QStringLiteral("Print"),
                         QStringLiteral("The printer \"%1\" could not start the print job.").arg(printer_->printerName()));
    return nullptr;
  }
  return canvas;
}

}  // namespace ln40::gui
