#pragma once
// ln40cli's PDF printing lives in a module of its own (ln40cli-pdf.so), because it needs Qt
// Gui, and loading Qt Gui with the window system's libraries costs every command more time
// at start than most of them take for their work. ln40cli loads the module only when a
// command prints (--pdf); this header is what the two sides share.
#include <memory>
#include <string>

#include "reports/print_canvas.h"
#include "reports/print_settings.h"

namespace ln40::cli {

// What the module offers, as in qt/pdf_print_job.h.
struct PdfPrinting {
  // Makes the headless QGuiApplication that fonts and painting need.
  void (*ensure_headless_gui_application)();
  // Starts a print job into the PDF file `path`; the file is complete when the canvas is
  // released. The canvas's code is in the module, which therefore stays loaded.
  std::unique_ptr<PrintCanvas> (*begin_pdf_print_job)(const std::string& path, const std::string& title,
                                                        PageOrientation orientation);
};

// The module's one exported symbol.
inline constexpr const char* kPdfPrintingSymbol = "ln40cli_pdf_printing";
extern "C" const PdfPrinting* ln40cli_pdf_printing();

// Loads the module the first time it is asked for: beside the executable (a build folder),
// else where it is installed. Throws Error("PDF printing is not available: ...") with the
// path tried and the loader's reason when it cannot be loaded.
const PdfPrinting& LoadPdfPrinting();

}  // namespace ln40::cli
