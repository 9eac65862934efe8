// WinINet is no KnownDLL. Imported when Setup.exe is loaded, a wininet.dll
// left beside the launcher (Downloads, or the temporary folder after a
// self-update) would be loaded elevated before any code of ours could
// restrict the search. So Setup.exe does not import it: the import slots that
// the HTTP backend's calls go through are defined here, and each binds itself
// at its first call to the function of the system folder's wininet.dll.
#include <windows.h>
#include <wininet.h>

#include <cstddef>

#include "platform/win32/system_library_win.h"

namespace {

const wchar_t kWinInet[] = L"wininet.dll";

template <typename Fn>
struct LateImport;

template <typename R, typename... A>
struct LateImport<R(WINAPI*)(A...)> {
  // The bytes of arguments a __stdcall function takes off the 32-bit stack:
  // part of its import symbol's name there.
  static constexpr size_t kStackBytes = (0 + ... + ((sizeof(A) + 3) / 4 * 4));

  template <R(WINAPI** Slot)(A...), const char* Name>
  static R WINAPI FirstCall(A... args) {
    const auto function = reinterpret_cast<R(WINAPI*)(A...)>(
        reinterpret_cast<void (*)()>(platform::SystemLibraryFunction(kWinInet, Name)));
    // Missing: the call fails as the system's would, with the last error set.
    if (!function) return R();
    __atomic_store_n(Slot, function, __ATOMIC_RELEASE);
    return function(args...);
  }
};

}  // namespace

#if defined(__i386__)
#define TAVO_IMPORT_SYMBOL(function, bytes) "__imp__" #function "@" #bytes
#define TAVO_CHECK_STACK_BYTES(function, bytes) \
  static_assert(LateImport<decltype(&::function)>::kStackBytes == bytes, #function ": wrong argument bytes");
#else
#define TAVO_IMPORT_SYMBOL(function, bytes) "__imp_" #function
#define TAVO_CHECK_STACK_BYTES(function, bytes)
#endif

// One line per WinINet function the launcher calls; the number is the bytes of
// its arguments on the 32-bit stack (checked by the compiler).
#define TAVO_LATE_IMPORT(function, bytes)                                                                 \
  TAVO_CHECK_STACK_BYTES(function, bytes)                                                                \
  namespace {                                                                                             \
  constexpr char kName_##function[] = #function;                                                         \
  }                                                                                                       \
  extern "C" decltype(&::function) tavo_import_##function asm(TAVO_IMPORT_SYMBOL(function, bytes));      \
  decltype(&::function) tavo_import_##function =                                                         \
      &LateImport<decltype(&::function)>::FirstCall<&tavo_import_##function, kName_##function>;

TAVO_LATE_IMPORT(InternetOpenW, 20)
TAVO_LATE_IMPORT(InternetOpenUrlW, 24)
TAVO_LATE_IMPORT(InternetReadFile, 16)
TAVO_LATE_IMPORT(InternetCloseHandle, 4)
TAVO_LATE_IMPORT(InternetSetOptionW, 16)
TAVO_LATE_IMPORT(HttpQueryInfoW, 20)
TAVO_LATE_IMPORT(InternetQueryDataAvailable, 16)
TAVO_LATE_IMPORT(InternetCombineUrlW, 20)
