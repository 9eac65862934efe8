#pragma once

namespace platform {
namespace posix {

// The process's own argument vector, handed over by main(), for
// GetProcessArguments (platform/process.h).
void SetProcessArguments(int argc, char** argv);

}  // namespace posix
}  // namespace platform
