#pragma once
// Text at the edge between the core and Qt. The core's texts are Windows-1252 bytes; the
// widgets take QString. File names the core builds into a text (the program's folder in the
// log path label, a path in an error message) are UTF-8, which ToQtMessage recognises.
#include <QString>
#include <string>

#include "text/codepage.h"

namespace ln40::gui {

// A cell, field or heading text: Windows-1252 in, UTF-16 out; every byte survives.
inline QString ToQt(const std::string& cp1252) { return QString::fromStdU16String(Cp1252ToUtf16(cp1252)); }

// Typed text back to the core; characters the code page lacks become '?'.
inline std::string FromQt(const QString& text) { return Utf16ToCp1252(text.toStdU16String()); }

// A message or label that may carry a UTF-8 file name: valid UTF-8 is read as UTF-8 (a
// Windows-1252 text with letters beyond ASCII is almost never valid UTF-8), anything else
// as Windows-1252.
inline QString ToQtMessage(const std::string& text) {
  return IsValidUtf8(text) ? QString::fromStdString(text) : ToQt(text);
}

}  // namespace ln40::gui
