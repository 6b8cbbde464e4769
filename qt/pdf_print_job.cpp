#include "qt/pdf_print_job.h"

#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <cstdio>
#include <cstdlib>

#include "qt/qt_print_canvas.h"
#include "text/codepage.h"
#include "text/error.h"
#include "text/output_target.h"

namespace ln40 {
namespace {

// Owns the writer and its painter; the pages go to the file when it is destroyed.
class PdfJobCanvas : public PrintCanvas {
 public:
  PdfJobCanvas(const std::string& path, const std::string& title, PageOrientation orientation)
      : writer_(QString::fromStdString(path)) {
    writer_.setTitle(QString::fromStdU16String(Cp1252ToUtf16(title)));
    writer_.setCreator(QStringLiteral("Vexa LN40 utility"));
    writer_.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                      orientation == PageOrientation::Landscape ? QPageLayout::Landscape
                                                                                : QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    if (!painter_.begin(&writer_)) throw Error("Cannot Create file " + path);
    const QRectF area = writer_.pageLayout().paintRect(QPageLayout::Millimeter);
    canvas_ = std::make_unique<QtPaintCanvas>(painter_, static_cast<int>(area.width() * 10),
                                              static_cast<int>(area.height() * 10), [this] { writer_.newPage(); });
  }
  ~PdfJobCanvas() override {
    canvas_.reset();
    painter_.end();
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
  QPdfWriter writer_;
  QPainter painter_;
  std::unique_ptr<QtPaintCanvas> canvas_;
};

}  // namespace

std::unique_ptr<PrintCanvas> BeginPdfPrintJob(const std::string& path, const std::string& title,
                                              PageOrientation orientation) {
  // QPdfWriter opens the file only when painting starts and gives no reason on failure: try
  // it first, so a folder that does not exist ends the job before it starts, with our text.
  {
    // Qt follows links as it finds them: one planted by another user in a shared folder is
    // refused first, as every file the program replaces refuses it.
    if (const OutputTarget target = ResolveOutputTarget(path); !target.refused_link.empty()) {
      throw Error("Cannot Create file " + path + ": " + RefusedLinkText(target.refused_link));
    }
    QFile probe(QString::fromStdString(path));
    if (!probe.open(QIODevice::WriteOnly)) throw Error("Cannot Create file " + path);
  }
  return std::make_unique<PdfJobCanvas>(path, title, orientation);
}

namespace {

// Qt's notes about the headless session (no runtime folder, no window system features) are
// not the tool's business; its errors still reach stderr.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

}  // namespace

void EnsureHeadlessGuiApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  qInstallMessageHandler(QuietQtMessages);
  static int argc = 1;
  static char name[] = "ln40cli";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

}  // namespace ln40
