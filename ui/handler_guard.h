// Runs an event handler of the core from a Qt slot. Qt cannot carry an exception
// through its event loop, so anything a handler lets escape is shown to the
// person as "number description" and the program goes on.
#pragma once

#include <functional>

#include "core/ui_port.h"

namespace sorvane::gui {

void RunHandler(UiPort& ui, const std::function<void()>& handler);

// How many handlers are running now (one inside another's dialog or yield
// counts too); none means the event loop is between them.
int RunningHandlers();

// Counts as a running handler while it lives: for start-up, which runs before
// the event loop and may show dialogs of its own.
class HandlerRunning {
 public:
  HandlerRunning();
  ~HandlerRunning();
  HandlerRunning(const HandlerRunning&) = delete;
  HandlerRunning& operator=(const HandlerRunning&) = delete;
};

}  // namespace sorvane::gui
