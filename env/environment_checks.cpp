#include "env/environment_checks.h"

#include "base/debug_log.h"
#include "base/run_result.h"
#include "base/working_paths.h"
#include "config/launch_settings.h"
#include "env/conflict_detection.h"
#include "env/installed_edition.h"
#include "base/result_codes.h"

int32_t RunEnvironmentChecks(const LaunchSettings& settings, const WorkingPaths& paths, RunResult* result,
                             CheckCaller caller) {
  int32_t code = 0;
  if (DetectConflicts(settings, result)) {
    code = result->SecurityCenterConflict ? kResultSecurityCenterConflict : kResultConflict;
    result->ResultCode = code;
    Log().Error(caller == CheckCaller::StartUp ? L"競合製品を検出しました。(お知らせ画面スキップ)"
                                               : L"競合製品を検出しました。");
  }

  Log().Info(L"TAVO製品のインストールをチェックします。");
  if (IsOtherEditionInstalled(settings)) {
    code = kResultOtherEdition;
    result->ResultCode = code;
    Log().Info(L"既にTAVO製品がインストールされていますが、アップグレードできません。");
  } else if (IsLatestVersionInstalled(settings, paths)) {
    code = kResultLatestInstalled;
    result->ResultCode = code;
    Log().Info(L"既にTAVO製品がインストールされていますが、アップグレード不要です。");
  }
  return code;
}
