// The entry of the PDF printing module: qt/pdf_print_job.h behind the plain table that
// ln40cli finds by name after loading the module.
#include "pdf_module.h"

#include "qt/pdf_print_job.h"

namespace ln40::cli {

extern "C" const PdfPrinting* ln40cli_pdf_printing() {
  static const PdfPrinting printing{&EnsureHeadlessGuiApplication, &BeginPdfPrintJob};
  return &printing;
}

}  // namespace ln40::cli
