#pragma once
#include <cstdint>

struct LaunchSettings;
struct RunResult;
struct WorkingPaths;

// Who runs the pre-installation checks; only the error line of a conflict differs.
enum class CheckCaller {
  StartUp,  // the notices are skipped and the checks run before the wizard opens
  Frame,    // the wizard enters the installation step
};

// The checks before an installation, in their fixed order: conflicting
// software (ResultCode 12, or 13 when found through the Security Center),
// then an installed edition this launcher cannot upgrade (16), else an
// installed product that needs no upgrade (17). A later code replaces an
// earlier one. Sets ResultCode and returns the code set, 0 when the
// installation may go on (ResultCode is then left as it was).
int32_t RunEnvironmentChecks(const LaunchSettings& settings, const WorkingPaths& paths, RunResult* result,
                             CheckCaller caller);
