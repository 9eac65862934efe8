#pragma once
#include <string>

namespace platform {

// The separator of native paths: '\\' on Windows, '/' on the simulated machine.
wchar_t PathSeparator();

// Each folder is returned with a trailing separator; empty (with the last
// error set) on failure.
std::wstring GetTempFolder();
std::wstring GetSystemFolder();
std::wstring GetWindowsFolder();
std::wstring GetDesktopFolder();
// Full path of the running executable; empty on failure.
std::wstring GetModulePath();

}  // namespace platform
