#include "base/exit_codes.h"

#include "base/result_codes.h"

namespace {

constexpr int32_t kPerResult = 10000;
// Results above this would not fit the exit code; none is ever produced.
constexpr int32_t kLargestResult = 214747;

}  // namespace

int32_t SilentExitCode(int32_t resultCode, int32_t resultDetail, bool restartAsked) {
  if (resultCode == kResultSuccess) return restartAsked ? kExitInstalledRestart : kExitInstalled;
  if (resultCode < kResultDownloadFailed || resultCode > kLargestResult) return kExitStartupFailed;
  const int32_t base = resultCode * kPerResult;
  // The detail of an installer failure rides along while it fits in the four
  // digits below the result: every code of the Windows Installer does.
  if ((resultCode == kResultInstallerFailed || resultCode == kResultInstallerLogFailure) && resultDetail > 0 &&
      resultDetail < kPerResult) {
    return base + resultDetail;
  }
  return base;
}

bool IsSilentExitCode(int32_t code) {
  if (code == kExitInstalled || code == kExitInstalledRestart) return true;
  if (code < kExitStartupFailed || code > kLargestResult * kPerResult + kPerResult - 1) return false;
  const int32_t result = code / kPerResult, detail = code % kPerResult;
  return detail == 0 || result == kResultInstallerFailed || result == kResultInstallerLogFailure;
}
