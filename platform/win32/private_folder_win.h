#pragma once
#include <windows.h>

#include <string>

namespace platform {

// The system's GetTempPath2W, where it has one (Windows 11, and 10 updated).
using TempPath2Fn = DWORD(WINAPI*)(DWORD, LPWSTR);

// The parent of the private folders (GetSystemTempFolder): what GetTempPath2
// answers for a process that runs as SYSTEM, and %SystemRoot%\Temp\ for any
// other, whatever TMP and TEMP name, since GetTempPath2 reads them there.
std::wstring SystemTempFolderFor(bool runsAsSystem, TempPath2Fn tempPath2);

}  // namespace platform
