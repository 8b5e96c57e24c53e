#include "core/ui/ui.h"

namespace pv {

bool EventHub::on(Window window, std::string_view control, Event event, EventHandler handler) {
  if (!handler || !raisesEvent(window, control, event)) return false;
  std::lock_guard lock(mutex_);
  entries_.push_back({window, std::string(control), event, std::move(handler)});
  return true;
}

void EventHub::raise(EventArgs& args) const {
  // Copied out so that a handler may register more handlers, or raise further events.
  std::vector<EventHandler> matching;
  {
    std::lock_guard lock(mutex_);
    for (const Entry& e : entries_) {
      if (e.window == args.window && e.event == args.event && e.control == args.control) {
        matching.push_back(e.handler);
      }
    }
  }
  for (const EventHandler& h : matching) h(args);
}

bool EventHub::handles(Window window, std::string_view control, Event event) const {
  std::lock_guard lock(mutex_);
  for (const Entry& e : entries_) {
    if (e.window == window && e.event == event && e.control == control) return true;
  }
  return false;
}

}  // namespace pv
