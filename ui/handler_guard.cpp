#include "handler_guard.h"

#include <exception>
#include <new>
#include <string>

#include "core/errors.h"

namespace sorvane::gui {

namespace {
int running = 0;
}  // namespace

int RunningHandlers() { return running; }

HandlerRunning::HandlerRunning() { ++running; }
HandlerRunning::~HandlerRunning() { --running; }

void RunHandler(UiPort& ui, const std::function<void()>& handler) {
  const HandlerRunning count;
  try {
    handler();
  } catch (const Error& e) {
    ui.MessageBox(e.NumberDescription());
  } catch (const std::bad_alloc& e) {
    ui.MessageBox(FailureText(e));
  } catch (const std::exception& e) {
    ui.MessageBox("-1 " + std::string(e.what()));
  }
}

}  // namespace sorvane::gui
