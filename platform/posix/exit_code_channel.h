#pragma once
#include <cstdint>

namespace platform {
namespace posix {

// A POSIX exit status keeps only 8 bits, while Windows programs (the Windows
// Installer among them) end with 32-bit codes such as 1603 or 3010. RunProcess
// therefore hands every child a pipe, named by this environment variable, on
// which a program of the simulated machine may report its full exit code just
// before it exits. The parent takes the reported code when its low 8 bits
// agree with the exit status.
constexpr char kExitCodeFdVariable[] = "TAVO_EXIT_CODE_FD";
// The descriptor number the pipe has in the child.
constexpr int kExitCodeFd = 3;

// In a child: reports the full exit code, when a parent asked for it.
void ReportFullExitCode(uint32_t code);

}  // namespace posix
}  // namespace platform
