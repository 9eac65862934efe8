#pragma once
#include <string>

namespace platform {

// The separator of native paths: '\\' on Windows, '/' on the simulated machine.
wchar_t PathSeparator();

// Each folder is returned with a trailing separator; empty (with the last
// error set) on failure.
std::wstring GetTempFolder();
std::wstring GetSystemFolder();
// The folder of the system's own programs as a program of the system's own
// width sees it: for a 32-bit process under WoW64 the native system folder,
// reached through "Sysnative", which the file system redirection leaves
// alone; otherwise the system folder.
std::wstring GetNativeSystemFolder();
std::wstring GetWindowsFolder();
std::wstring GetDesktopFolder();
// Full path of the running executable; empty on failure.
std::wstring GetModulePath();
// The full path of a path given relative to the current folder (a full one
// stays as it is); empty on failure.
std::wstring GetFullPath(const std::wstring& path);

}  // namespace platform
