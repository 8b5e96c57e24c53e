#pragma once
// Facts about the machine the program runs on, from the platform adapter.
#include <string>

namespace pv {

// A text that stays the same for this machine across starts and differs between machines
// (the operating system's machine id). Empty only when the platform offers nothing.
std::string machineFingerprint();

}  // namespace pv
