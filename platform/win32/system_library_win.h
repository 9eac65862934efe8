#pragma once
#include <windows.h>

namespace platform {

// Loads a library from the system folder only, never from beside Setup.exe or
// from the current folder: the launcher runs elevated from Downloads or the
// temporary folder, where anybody can leave a DLL. Null, with the last error
// set, when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// A function of a library of the system folder; null, with the last error
// set, when the library or the function is missing.
FARPROC SystemLibraryFunction(const wchar_t* library, const char* function);

}  // namespace platform
