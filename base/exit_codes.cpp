#include "base/exit_codes.h"

#include "base/result_codes.h"
#include "base/run_result.h"

namespace {

constexpr int32_t kPerResult = 10000;
// Results above this would not fit the exit code; none is ever produced.
constexpr int32_t kLargestResult = 214747;

}  // namespace

int32_t SilentExitCode(const RunResult& result, bool completionAsksRestart) {
  const int32_t code = result.ResultCode, detail = result.ResultDetail;
  if (code == kResultSuccess) {
    if (result.NothingInstalled) return kExitNothingInstalled;
    if (result.RestartStarted) return kExitRestartStarted;
    return result.RestartRequested || completionAsksRestart ? kExitInstalledRestart : kExitInstalled;
  }
  // The machine is as the administrator wants it.
  if (code == kResultLatestInstalled) return kExitInstalled;
  // Whether the installer's exit code or its log says so: the tool tries again later.
  if ((code == kResultInstallerFailed && detail == kInstallerBusyCode) ||
      (code == kResultInstallerLogFailure && detail == kInstallerBusyLogClass)) {
    return kExitInstallerBusy;
  }
  // An installer that left no record still said why with its code, as a failed one does.
  const int32_t unrecorded = result.UnrecordedExitCode;
  if (code == kResultNotExecuted && unrecorded == kInstallerBusyCode) return kExitInstallerBusy;
  if (code == kResultNotExecuted && unrecorded > 0 && unrecorded < kPerResult && unrecorded != kExitInstalledRestart &&
      unrecorded != kExitRestartStarted) {
    return kResultInstallerFailed * kPerResult + unrecorded;
  }
  if (code < kResultDownloadFailed || code > kLargestResult) return kExitStartupFailed;
  const int32_t base = code * kPerResult;
  // The detail of an installer failure rides along while it fits in the four
  // digits below the result: every code of the Windows Installer does.
  if ((code == kResultInstallerFailed || code == kResultInstallerLogFailure) && detail > 0 && detail < kPerResult) {
    return base + detail;
  }
  return base;
}

bool IsSilentExitCode(int32_t code) {
  if (code == kExitInstalled || code == kExitInstalledRestart || code == kExitRestartStarted || code == kExitInstallerBusy ||
      code == kExitInvalidCommandLine || code == kExitNothingInstalled) {
    return true;
  }
  if (code < kExitStartupFailed || code > kLargestResult * kPerResult + kPerResult - 1) return false;
  const int32_t result = code / kPerResult, detail = code % kPerResult;
  return detail == 0 || result == kResultInstallerFailed || result == kResultInstallerLogFailure;
}
