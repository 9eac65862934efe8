#include "platform/process_hardening.h"

#include <windows.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

namespace platform {

DllSearchHardening RestrictDllSearchToSystemFolder() {
  // Windows 7 has SetDefaultDllDirectories only with its update KB2533623, so
  // it is looked up rather than imported: an import would stop the launcher
  // from starting at all there.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  SetDefaultDllDirectoriesFn setDefaultDllDirectories = nullptr;
  if (kernel32) {
    setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void (*)()>(::GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  }
  if (setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return DllSearchHardening::kSystemFolderOnly;
  }
  // Without it only the current folder can be taken out of the search; the
  // program's own folder stays the first place the system looks.
  if (::SetDllDirectoryW(L"")) return DllSearchHardening::kCurrentFolderRemoved;
  return DllSearchHardening::kNotRestricted;
}

}  // namespace platform
