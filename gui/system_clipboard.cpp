#include "system_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

#include "qt_text.h"
#include "table/clipboard_text.h"

namespace ln40::gui {

std::string SystemTextClipboard::Text() const {
  return WithCrLfLineEnds(FromQt(QGuiApplication::clipboard()->text()));
}

void SystemTextClipboard::SetText(const std::string& text) { QGuiApplication::clipboard()->setText(ToQt(text)); }

}  // namespace ln40::gui
