#include "env/environment_checks.h"

#include "base/debug_log.h"
#include "app/launcher_context.h"
#include "env/conflict_detection.h"
#include "env/installed_edition.h"
#include "base/result_codes.h"

int32_t RunEnvironmentChecks(LauncherContext* context, CheckCaller caller) {
  int32_t code = 0;
  if (DetectConflicts(context)) {
    code = context->SecurityCenterConflict ? kResultSecurityCenterConflict : kResultConflict;
    context->ResultCode = code;
    Log().Error(caller == CheckCaller::StartUp ? L"競合製品を検出しました。(お知らせ画面スキップ)"
                                               : L"競合製品を検出しました。");
  }

  Log().Info(L"TAVO製品のインストールをチェックします。");
  if (IsOtherEditionInstalled(context->Settings)) {
    code = kResultOtherEdition;
    context->ResultCode = code;
    Log().Info(L"既にTAVO製品がインストールされていますが、アップグレードできません。");
  } else if (IsLatestVersionInstalled(*context)) {
    code = kResultLatestInstalled;
    context->ResultCode = code;
    Log().Info(L"既にTAVO製品がインストールされていますが、アップグレード不要です。");
  }
  return code;
}
