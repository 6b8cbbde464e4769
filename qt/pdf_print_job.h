#pragma once
// Printing to a PDF file without a dialog: one print job whose pages (A4, in the settings'
// orientation, no margins of its own: the print settings place everything) are written to a
// file when the job ends. Used by ln40cli's --pdf and by the window when a PDF file is named.
#include <memory>
#include <string>

#include "reports/print_canvas.h"
#include "reports/print_settings.h"

namespace ln40 {

// Starts the job; the file is complete when the canvas is released. `path` is a UTF-8 file
// name, `title` (Windows-1252) the document's title. Throws Error("Cannot Create file " +
// path) when the file cannot be created. Needs a QGuiApplication (see EnsureHeadlessGuiApplication).
std::unique_ptr<PrintCanvas> BeginPdfPrintJob(const std::string& path, const std::string& title,
                                              PageOrientation orientation);

// Fonts and painting need a QGuiApplication; a command-line tool makes one on Qt's
// offscreen platform (unless QT_QPA_PLATFORM names another) the first time it is asked to.
// Does nothing when an application object exists already.
void EnsureHeadlessGuiApplication();

}  // namespace ln40
