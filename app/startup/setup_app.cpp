#include "app/startup/setup_app.h"

#include <vector>

#include "app/command_line.h"
#include "app/debug_log.h"
#include "app/text.h"
#include "config/launch_settings.h"
#include "config/notification_data.h"
#include "platform/error.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/ui.h"

namespace {

const wchar_t kErrorCaption[] = L"エラー";

bool LoadLauncherInfo(LauncherContext* context) {
  if (!LoadLaunchSettings(&context->Settings, context->LaunchSettingsPath, true)) return false;
  Log().Info(L"ランチャー情報を読み込みました。");
  return true;
}

}  // namespace

bool FindUpgradeSourceProcess(uint32_t* pid) {
  std::vector<platform::ProcessEntry> processes;
  if (!platform::SnapshotProcesses(&processes)) return false;
  const uint32_t self = platform::CurrentProcessId();
  uint32_t parent = 0;
  std::wstring ownName;
  bool foundSelf = false;
  for (const auto& p : processes) {
    if (p.pid == self) {
      parent = p.parentPid;
      ownName = p.exeName;
      foundSelf = true;
      break;
    }
  }
  if (!foundSelf || parent == 0) return false;
  for (const auto& p : processes) {
    if (p.pid != parent) continue;
    // Only a launcher of exactly the same executable name replaced itself with us.
    if (p.exeName == ownName) {
      *pid = parent;
      return true;
    }
    return false;
  }
  return false;
}

bool CSetupApp::InitInstance() {
  LauncherContext& ctx = context_;
  std::wstring pendingText = L"内部エラーが発生しました。";
  bool failed = false;
  auto fail = [&](const std::wstring& text) {
    pendingText = text;
    failed = true;
    Log().Error(text);
  };

  // 1. Controls and framework.
  platform::InitializeCommonControls();

  // 2. Switches; a command line that cannot be split leaves them unset.
  ParseArguments(&ctx);

  // 3. Working paths, then the log.
  if (!LoadCommonData(&ctx)) {
    pendingText = L"環境データの取得に失敗しました。";
    failed = true;
  } else {
    Log().SetPath(ctx.DebugLogPath);
    Log().SetEnabled(true);
  }

  // 4.
  Log().Info(L"プログラムを開始します。");

  // 5. The launcher that replaced itself with this one ends here.
  uint32_t sourcePid = 0;
  if (FindUpgradeSourceProcess(&sourcePid) && platform::TerminateProcessById(sourcePid, 0)) {
    Log().Info(L"アップグレード元プロセスを終了させました。");
  }

  // 6. Settings and the notices header.
  if (!failed) {
    if (!LoadLauncherInfo(&ctx)) {
      fail(L"設定ファイルの読み込みに失敗しました。");
    } else {
      if (!LoadNotificationHeader(&ctx)) {
        Log().Error(L"通知データファイルの読み込みに失敗しました。");
      } else if (ctx.NotificationCount == 0) {
        ctx.SkipNotices = true;
        Log().Info(L"重要なお知らせ画面を表示しません。");
      }
      if (ctx.Settings.InstallType == 1) ctx.NoUpdate = false;
    }
  }

  // 7 to 16: the start-up dialog with its self-update, the re-reads, the
  // notices count, the environment survey, the checks before the wizard and
  // the wizard itself plug in here.
  if (!failed) {
    RunStartupDialog(&failed, &pendingText);
  }
  if (!failed) {
    RunWizard(&failed, &pendingText);
  }

  // 17.
  if (failed) {
    ShowErrorBox(nullptr, kErrorCaption, pendingText);
    Log().Info(pendingText);
  }

  // 18.
  Log().Info(L"プログラムを終了します。");
  return false;
}

void CSetupApp::RunStartupDialog(bool* failed, std::wstring* pendingText) {}

void CSetupApp::RunWizard(bool* failed, std::wstring* pendingText) {}
