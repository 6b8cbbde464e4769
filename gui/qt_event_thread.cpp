#include "qt_event_thread.h"

#include <QMetaObject>
#include <exception>

namespace ln40::gui {

void QtEventThread::Post(std::function<void()> task) {
  QMetaObject::invokeMethod(
      context_,
      [task = std::move(task)] {
        // Qt does not carry exceptions through its event loop; the link reports its own
        // errors before they get here, so anything left is dropped rather than fatal.
        try {
          task();
        } catch (const std::exception&) {
        }
      },
      Qt::QueuedConnection);
}

}  // namespace ln40::gui
