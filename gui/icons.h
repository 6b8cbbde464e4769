#pragma once
// The program's own pictures, drawn with QPainter on a 24 x 24 grid and rendered at the
// sizes the widgets ask for: the toolbar and Setup page buttons, the two lamps of the
// options panel and the program icon (a stopwatch, as in icons/ln40util.svg).
#include <QIcon>
#include <QString>

namespace ln40::gui {

// Names: "close", "save-excel", "print", "html", "serial", "get-again", "start-stop",
// "search-readers", "mail", "start-list", "result-list", "open-excel", "klubben",
// "search-data", "assign", "read-times", "excel-timing", "help", "exit", "online",
// "lamp", "autosave". An unknown name gives an empty icon.
QIcon ToolIcon(const QString& name);

// The program's icon.
QIcon AppIcon();

}  // namespace ln40::gui
