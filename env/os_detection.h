#pragma once
#include <cstdint>
#include <string>

// Operating-system codes shared with the download servers' files; 0 means not recognised.
using OsCode = int32_t;

OsCode GetOsCode();
// The name of the code's row, empty for 0 or an unknown code.
std::wstring GetOsName();
std::wstring OsNameOf(OsCode code);
// Workstations of version 6.1 or later on the NT platform.
bool IsSupportedOs();
bool IsVistaOrLater();
// Native x64 or Itanium; false when the system gives no native information.
bool IsWindows64Bit();

// HKEY_LOCAL_MACHINE\subkey, in the 64-bit view when this 32-bit launcher runs
// under WoW64.
bool MachineRegistryValueExists(const std::wstring& subkey, const std::wstring& valueName);
bool ReadMachineRegistryString(const std::wstring& subkey, const std::wstring& valueName, std::wstring* text);
