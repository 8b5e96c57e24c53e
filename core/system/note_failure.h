#pragma once
// The one line a failure leaves when the program carries on past it: a `catch (...)` that
// swallows an exception, a callback that must not unwind into the system. Natively the line
// goes to standard error; on Windows to the debugger output (DebugView, Wine's +debugstr
// channel), since a GUI program has no console. The adapter is chosen at link time.
//
// `where` names the function, `what` says what failed in a few words (GBK or ASCII).
// Any thread may call; it never throws and never fails the caller.
#include <string_view>

namespace pv {

void noteFailure(std::string_view where, std::string_view what) noexcept;

}  // namespace pv
