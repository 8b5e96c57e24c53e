#pragma once
// Finding the ERP clients' windows on the desktop: by class, by a part of the title, and
// the windows of a class inside a client. Class names compare ignoring ASCII letter case,
// as the system's own window search does. Any thread.
#include <string_view>
#include <vector>

#include "core/erp/desktop.h"

namespace pv {

// The topmost top-level window of the class, or 0.
WindowHandle findTopLevelWindowByClass(Desktop& desktop, std::string_view className);

// The topmost top-level window (of the class, when one is given) whose title contains
// `titlePart`, ignoring ASCII letter case; 0 when none does.
WindowHandle findWindowByTitlePart(Desktop& desktop, std::string_view titlePart, std::string_view className = {});

// Every descendant of `parent` of the class, in the system's enumeration order; an empty
// class name takes every descendant.
std::vector<WindowHandle> listChildWindowsByClass(Desktop& desktop, WindowHandle parent, std::string_view className);

}  // namespace pv
