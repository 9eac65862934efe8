#pragma once
#include <cstdint>
#include <string>

namespace platform {

// The shell's "open" verb on a file or address, shown normally, in the
// user's own non-elevated context: an elevated launcher hands it to the
// desktop's shell and opens nothing itself when that shell cannot be reached.
// Returns the shell's result: above 32 on success, 32 or less on failure
// (5 when access was denied). On the simulated machine the address is
// appended to shell.log.
intptr_t ShellOpen(const std::wstring& file, const std::wstring& parameters);

}  // namespace platform
