#pragma once
#include <windows.h>

#include <string>

namespace platform {

// True when the handle's final path is the path itself: no junction, link or
// mount point lies anywhere on it (short names of the path are expanded).
bool FinalPathIs(HANDLE handle, const std::wstring& path);

}  // namespace platform
