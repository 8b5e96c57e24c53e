#pragma once
// The folders where the program's settings files live. The files themselves are read and
// written by IniFileStore (core/settings/ini_file.h) as GBK bytes: the private-profile
// functions would pass them through the system's code page, and on a Windows set to
// another one the Chinese names and values would turn into "?". Any thread may call.
#include <filesystem>

namespace pv {

// The full path of the running executable; empty when the system does not say.
std::filesystem::path runningExecutablePath();

// Where the system puts a private-profile file named without a folder (its Windows folder,
// which it may redirect to the user's virtual copy): the place of the program's bare-named
// settings files, also those earlier versions wrote. Empty when the system does not say.
std::filesystem::path windowsFolder();

}  // namespace pv
