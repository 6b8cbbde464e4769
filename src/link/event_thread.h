#pragma once
// The event thread of the program: the window's thread in the desktop program, the main
// loop in ln40cli. Every handler of the link runs there.
#include <functional>

namespace ln40 {

class EventThread {
 public:
  virtual ~EventThread() = default;
  // Queues `task` to run on the event thread and returns at once; safe from any thread.
  virtual void Post(std::function<void()> task) = 0;
};

}  // namespace ln40
