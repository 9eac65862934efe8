#include "platform/sysinfo.h"

#include <windows.h>

namespace platform {

namespace {

// Both entry points are looked up at run time: the launcher must start on
// systems that lack them and then answer from what it has.
using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

FARPROC Kernel32Function(const char* name) {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  return kernel32 ? ::GetProcAddress(kernel32, name) : nullptr;
}

}  // namespace

bool GetOsVersionInfo(OsVersionInfo* info) {
  OSVERSIONINFOEXW vi = {};
  vi.dwOSVersionInfoSize = sizeof(vi);
  // The manifest declares the supported systems, so this is the true version
  // and not the 6.2 that undeclared programs are told on 8.1 and later.
  if (!::GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&vi))) return false;
  info->major = vi.dwMajorVersion;
  info->minor = vi.dwMinorVersion;
  info->build = vi.dwBuildNumber;
  info->platformId = vi.dwPlatformId;
  info->suiteMask = vi.wSuiteMask;
  info->productType = vi.wProductType;
  return true;
}

bool GetNativeArchitecture(uint16_t* architecture) {
  auto fn = reinterpret_cast<GetNativeSystemInfoFn>(
      reinterpret_cast<void*>(Kernel32Function("GetNativeSystemInfo")));
  if (!fn) return false;
  SYSTEM_INFO si = {};
  fn(&si);
  *architecture = si.wProcessorArchitecture;
  return true;
}

uint16_t GetSystemArchitecture() {
  SYSTEM_INFO si = {};
  ::GetSystemInfo(&si);
  return si.wProcessorArchitecture;
}

bool IsWow64Process() {
  auto fn = reinterpret_cast<IsWow64ProcessFn>(
      reinterpret_cast<void*>(Kernel32Function("IsWow64Process")));
  if (!fn) return false;
  BOOL wow64 = FALSE;
  if (!fn(::GetCurrentProcess(), &wow64)) return false;
  return wow64 != FALSE;
}

bool IsVersionAtLeast(uint32_t major, uint32_t minor) {
  OSVERSIONINFOEXW vi = {};
  vi.dwOSVersionInfoSize = sizeof(vi);
  vi.dwMajorVersion = major;
  vi.dwMinorVersion = minor;
  ULONGLONG mask = 0;
  mask = ::VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
  mask = ::VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
  return ::VerifyVersionInfoW(&vi, VER_MAJORVERSION | VER_MINORVERSION, mask) != FALSE;
}

bool IsServerR2() { return ::GetSystemMetrics(SM_SERVERR2) != 0; }

}  // namespace platform
