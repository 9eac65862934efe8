#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// The ways the shell's "open" verb can take. A launcher that is not
// elevated opens the address itself; an elevated one only through the shell
// of the user's desktop, which runs in the user's own context, and never
// itself: the handler of a scheme is the user's to choose and would run with
// the launcher's rights.
struct ShellRoutes {
  bool elevated = true;
  std::function<HRESULT()> throughDesktop;
  std::function<intptr_t()> direct;
};

// ShellOpen's answer by those rules: above 32 on success; on failure 32 or
// less with the last error set.
intptr_t OpenByRoute(const ShellRoutes& routes);

// Hands the "open" verb to the desktop's IShellDispatch2::ShellExecute; the
// caller's thread has COM initialised.
HRESULT OpenThroughDesktop(const std::wstring& file, const std::wstring& parameters);

}  // namespace platform
