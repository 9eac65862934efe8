#pragma once
#include <cstdint>
#include <string>

namespace platform {

// The shell's "open" verb on a file or address, shown normally. Returns the
// shell's result: above 32 on success, 5 when access was denied. On the
// simulated machine the address is appended to shell.log.
intptr_t ShellOpen(const std::wstring& file, const std::wstring& parameters);

}  // namespace platform
