#pragma once
// The text of the Help page: the user's guide to reading times, the reader nulltime and
// the runner sheet's columns, one paragraph per line.
#include <QStringList>

namespace ln40::gui {

const QStringList& HelpLines();

}  // namespace ln40::gui
