#include "app/startup/setup_app.h"

#include <vector>

#include "app/command_line.h"
#include "app/startup/init_worker_thread.h"
#include "app/startup/work_folder.h"
#include "base/debug_log.h"
#include "base/exit_codes.h"
#include "base/paths.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "base/worker_threads.h"
#include "config/launch_settings.h"
#include "config/notification_data.h"
#include "env/environment_checks.h"
#include "env/environment_survey.h"
#include "env/notice_conditions.h"
#include "install/install_thread.h"
#include "platform/code_signature.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/held_file.h"
#include "platform/http.h"
#include "platform/message_box.h"
#include "platform/process.h"
#include "platform/ui.h"
#include "trust/vendor_keys.h"
#include "ui/front_end.h"
#include "ui/silent_run.h"
#include "ui/start_boxes.h"

namespace {

const wchar_t kErrorCaption[] = L"エラー";
// The object a running launcher holds, one for the whole machine.
const wchar_t kLauncherObjectName[] = L"TAVOSetupLauncher";

bool LoadLauncherInfo(LauncherContext* context) {
  if (!LoadLaunchSettings(&context->Settings, context->LaunchSettingsPath, true)) return false;
  Log().Info(L"ランチャー情報を読み込みました。");
  return true;
}

// The launcher that started this one holds the files it downloaded for it
// until it ends; they are held here first, so that nobody can change them
// between its end and their reading.
void TakeOverHeldFiles(LauncherContext* context) {
  for (const std::wstring& path : {context->LaunchSettingsPath, context->NotificationPath,
                                   context->WorkFolder + L"SetupLauncherVer.xml"}) {
    platform::HeldFile file;
    if (file.Open(path)) context->HeldFiles.push_back(std::move(file));
  }
}

// The debug log, begun with its first entry. A "/log" file that cannot be
// written leaves the log in the temporary folder, which names that file; a
// log that cannot be written safely there goes on in the working folder.
void StartDebugLog(LauncherContext* context, bool workFolderReady) {
  const bool named = !context->LogPath.empty();
  // Administrators' tools expect the folders of a "/log" path to be made;
  // none is made or entered through a link or mount point.
  if (named) platform::HeldFolder().OpenMaking(ParentFolder(context->DebugLogPath));
  Log().SetPath(context->DebugLogPath);
  Log().SetEnabled(true);
  const std::wstring fallback = workFolderReady ? context->WorkFolder + L"TAVODebugLog.txt" : std::wstring();
  // A "/log" file refused at once moves the log to the temporary folder,
  // where people look for it, not into the working folder, which goes with
  // the run.
  if (!named || Log().Info(L"プログラムを開始します。")) {
    Log().SetFallbackPath(fallback);
    if (!named) Log().Info(L"プログラムを開始します。");
    return;
  }
  const std::wstring given = context->DebugLogPath;
  SetLogPaths(context, DefaultDebugLogPath(*context));
  Log().SetPath(context->DebugLogPath);
  Log().SetFallbackPath(fallback);
  Log().Info(L"プログラムを開始します。");
  Log().ErrorPlain(L"以下のログファイルに書き込めないため、一時フォルダーのログファイルに書き込みます。");
  Log().ErrorPlain(given);
}

// The run's last entries: the exit code last, in a form a script finds in
// any locale.
void LogTheRunsEnd(int32_t exitCode) {
  Log().Info(L"プログラムを終了します。");
  Log().Info(FormatText(L"ExitCode=%d", exitCode));
}

}  // namespace

bool FindUpgradeSourceProcess(bool startedBySource, uint32_t handedPid, uint32_t* pid) {
  // Only a launcher that replaced itself starts this one with "/O": a bundle
  // or a user that starts it is never ended, whatever its name.
  if (!startedBySource) return false;
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
    // A launcher that handed over its process id is that process, and only
    // while it is our parent. Earlier launchers hand over none: theirs is the
    // parent running an executable of exactly the same name.
    if (handedPid != 0 ? p.pid != handedPid : p.exeName != ownName) return false;
    // A process id is given anew once its process has ended: only a process
    // created no later than this one can be the launcher that started it.
    uint64_t parentCreated = 0, selfCreated = 0;
    if (!platform::ProcessCreationTime(parent, &parentCreated) || !platform::ProcessCreationTime(self, &selfCreated) ||
        parentCreated > selfCreated) {
      return false;
    }
    *pid = parent;
    return true;
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
  // Nothing of a silent run may wait for a person, not even an error box.
  if (ctx.Silent) SuppressMessageBoxes();
  platform::SetHttpProxy(ctx.Proxy);

  // 3, 4. Working paths, then the log; it falls back to the private working
  // folder when the user's temporary folder cannot hold it safely.
  bool workFolderMissing = false;
  uint32_t workFolderError = 0;
  if (!LoadCommonData(&ctx)) {
    pendingText = L"環境データの取得に失敗しました。";
    failed = true;
  } else {
    workFolderMissing = !PrepareWorkFolder(&ctx);
    workFolderError = platform::LastError();
    StartDebugLog(&ctx, !workFolderMissing);
  }
  // What an administrator looks for first: which launcher ran, as which process, asked for what.
  Log().Info(FormatText(L"ランチャーのバージョン：%u、プロセスID：%u", trust::LauncherVersion(),
                        platform::CurrentProcessId()));
  Log().Info(L"コマンドライン：" + ctx.CommandLineText);
  if (ctx.Silent) Log().Info(ctx.Passive ? L"パッシブモードで実行します。" : L"サイレントモードで実行します。");
  if (!ctx.Proxy.empty()) {
    Log().Info(L"以下のプロキシサーバーを使用します。");
    Log().Info(ProxyForLog(ctx.Proxy));
  }
  if (workFolderMissing) {
    platform::SetLastError(workFolderError);
    Log().Error(L"作業フォルダーを作成できませんでした。");
    pendingText = L"環境データの取得に失敗しました。";
    failed = true;
  }

  // What the command line asks besides a run; then 5., and this launcher
  // the only one of the machine.
  const bool ended = !AcceptCommandLine() || !ClaimTheRun();
  if (!ended && !failed) RemoveStaleWorkFolders(ctx);

  // 6. Settings and the notices header.
  if (!failed && !ended) {
    if (!LoadLauncherInfo(&ctx)) {
      fail(L"設定ファイルの読み込みに失敗しました。");
      Log().ErrorPlain(ctx.LaunchSettingsPath);
    } else {
      if (!LoadNotificationHeader(ctx.NotificationPath, &ctx.NotificationVersion, &ctx.NotificationCount)) {
        Log().Error(L"通知データファイルの読み込みに失敗しました。");
      } else if (ctx.NotificationCount == 0) {
        ctx.SkipNotices = true;
        Log().Info(L"重要なお知らせ画面を表示しません。");
      }
      if (ctx.Settings.InstallType == 1) ctx.NoUpdate = false;
    }
  }

  // 7 to 11.
  bool handedOver = false;
  if (!failed && !ended) {
    RunStartupSteps(&failed, &handedOver, &pendingText);
  }
  // 12 to 16.
  if (!failed && !ended && !handedOver) {
    RunWizardSteps(&failed, &pendingText);
  }

  // 17.
  if (failed) {
    ShowErrorBox(nullptr, kErrorCaption, pendingText);
    Log().Info(pendingText);
  }
  if (ctx.Silent && !handedOver && !ended) {
    // The completion page of a success asks for a restart; without it
    // (PackageType other than 1) the launcher just ends.
    const bool pageAsksRestart = SuccessAsksRestart(ctx.Settings, ctx.ResultCode);
    ctx.ExitCode = failed ? kExitStartupFailed : SilentExitCode(ctx, pageAsksRestart);
    if (!failed && ctx.ResultCode == kResultLatestInstalled) {
      Log().Info(L"最新のTAVO製品がインストール済みのため、成功として終了します。（サイレントモード）");
    }
  }
  if (ctx.Silent && !handedOver) Log().Info(FormatText(L"サイレントモードの終了コード：%d", ctx.ExitCode));

  LogTheRunsEnd(ctx.ExitCode);
  return false;
}

// Unknown arguments are logged; a silent run then ends at once with 1639, as
// the Windows Installer does, and an interactive one goes on as it always did.
// "/?" shows the usage and ends; a silent run cannot show it and ends with 1639.
bool CSetupApp::AcceptCommandLine() {
  LauncherContext& ctx = context_;
  for (const std::wstring& arg : ctx.UnknownArguments) {
    Log().ErrorPlain(L"以下のコマンドライン引数は不明です。");
    Log().ErrorPlain(arg);
  }
  if (!ctx.Silent) {
    if (ctx.ShowUsage) {
      ShowUsage();
      Log().Info(L"コマンドラインの使い方を表示しました。");
      return false;
    }
    if (!ctx.UnknownArguments.empty()) Log().Info(L"不明なコマンドライン引数を無視して続行します。");
    return true;
  }
  if (!ctx.ShowUsage && ctx.UnknownArguments.empty()) return true;
  Log().Info(L"コマンドラインが不正なため、何もせずに終了します。（サイレントモード）");
  ctx.ExitCode = kExitInvalidCommandLine;
  return false;
}

// 5. The launcher that replaced itself with this one ends here; in a silent
// run it waits instead, to pass this one's exit code on, and learns that this
// one took over. This one holds the machine's launcher object with it. Any
// other launcher makes that object, and ends when another launcher holds it.
bool CSetupApp::ClaimTheRun() {
  LauncherContext& ctx = context_;
  using Opened = platform::AdminEvent::Opened;
  uint32_t sourcePid = 0;
  // The launcher that hands over makes an object named after its process id
  // that only administrators can make. A release build ends or answers only
  // a parent that made it; the earlier launchers' rule (a parent of the same
  // name) is kept for development builds alone.
  platform::AdminEvent handOver;
  const bool releaseBuild = !trust::PinnedSignerKeys().empty();
  bool found = FindUpgradeSourceProcess(ctx.StartedBySourceLauncher, ctx.SourceProcessId, &sourcePid);
  // A launcher from before the private namespace made it in the global one.
  const bool signalled = found && ctx.SourceProcessId != 0 &&
                         (handOver.Open(HandOverEventName(sourcePid)) == Opened::kExisting ||
                          handOver.OpenGlobal(HandOverEventName(sourcePid)) == Opened::kExisting);
  if (found && releaseBuild && !signalled) {
    Log().ErrorPlain(L"起動元のランチャーが引き継ぎを示していないため、起動元のプロセスを終了させません。");
    found = false;
  }
  if (found) {
    launcherObject_.Open(kLauncherObjectName);
    TakeOverHeldFiles(&ctx);
    uint64_t created = 0;
    if (ctx.Silent && ctx.SourceProcessId != 0) {
      if (signalled) handOver.Signal();
      Log().Info(L"アップグレード元プロセスは本プロセスの終了を待ちます。");
    } else if (platform::ProcessCreationTime(platform::CurrentProcessId(), &created) &&
               platform::TerminateProcessCreatedBy(sourcePid, created, 0)) {
      Log().Info(L"アップグレード元プロセスを終了させました。");
    }
    return true;
  }
  switch (launcherObject_.Open(kLauncherObjectName)) {
    case Opened::kCreated:
      return true;
    case Opened::kForeign:
      Log().ErrorPlain(L"ランチャーの実行中を示すオブジェクトの所有者が管理者ではないため、実行中のランチャーとはみなしません。");
      return true;
    case Opened::kFailed:
      Log().Error(L"ランチャーの実行中を示すオブジェクトを作成できませんでした。");
      return true;
    case Opened::kExisting:
      break;
  }
  Log().Info(L"他のセットアップが実行中のため、終了します。");
  if (ctx.Silent) {
    ctx.ExitCode = kExitInstallerBusy;
  } else {
    ShowSetupAlreadyRunning();
  }
  return false;
}

// The newer launcher ends this one as soon as it starts; in a silent run it
// lets this one wait instead, to pass its exit code on. Going on meanwhile
// could open a second wizard or even run a second installation, so this one
// only waits for it. A newer launcher that ends before it has taken over
// leaves the run to this one, which ends as when the newer launcher could not
// be fetched; one that neither ends nor takes over in time is left to run.
bool CSetupApp::WaitForNewLauncher() {
  LauncherContext& ctx = context_;
  Log().Info(L"新しいインストーラーに処理を引き継ぎます。");
  int32_t code = -1;
  const bool ended = !ctx.NewLauncher || ctx.NewLauncher->Wait(ctx.Silent ? platform::kInfiniteWait : kHandOverWaitMs, &code);
  if (!ended && !ctx.Silent) return true;
  const bool tookOver = ctx.HandOver && ctx.HandOver->IsSignalled();
  if (ctx.Silent && ended && tookOver && IsSilentExitCode(code)) {
    Log().Info(FormatText(L"新しいインストーラーが終了しました。(終了コード：%d)", code));
    ctx.ExitCode = code;
    return true;
  }
  Log().Error(FormatText(L"新しいインストーラーが処理を引き継ぐ前に終了しました。(終了コード：%d)", code));
  ctx.ResultCode = kResultPackageDownloadFailed;
  return false;
}

void CSetupApp::RunStartupSteps(bool* failed, bool* handedOver, std::wstring* pendingText) {
  LauncherContext& ctx = context_;
  auto fail = [&](const wchar_t* text) {
    *pendingText = text;
    *failed = true;
    Log().Error(text);
  };

  // 7. The start-up dialog and its self-update.
  if (!ctx.NoUpdate) {
    Log().Info(L"更新ダイアログを表示します。");
    auto startWorker = [&ctx](MessageSink* target) { return StartInitWorkerThread(ctx, target); };
    const int dialogResult =
        ctx.Silent && !ctx.Passive ? RunSilentStartup(ctx, startWorker) : RunStartupDialog(ctx, startWorker);
    if (dialogResult == kDialogAbort) fail(L"ウィザードダイアログの表示に失敗しました。");
    Log().Info(L"更新ダイアログ処理を完了しました。");
    // 8.
    if (*failed) return;
    if (ctx.NewLauncherStarted && WaitForNewLauncher()) {
      *handedOver = true;
      return;
    }
  }

  // 9. A launcher started by its predecessor takes the base values from the
  // settings file it was started for.
  if (ctx.NoUpdate && !LoadLaunchBase(&ctx.Settings, ctx.SourceSettingsPath)) {
    fail(L"設定ファイルの基本情報の再読み込みに失敗しました。");
    Log().ErrorPlain(ctx.SourceSettingsPath);
    return;
  }

  // 10. A newer settings file replaces every list, not just adds to them.
  if (ctx.LaunchSettingsUpdated) {
    Log().Info(L"Launcher設定ファイルを再読み込みします。");
    ClearLaunchLists(&ctx.Settings);
    if (!LoadLaunchSettings(&ctx.Settings, ctx.LaunchSettingsPath, false)) {
      fail(L"設定ファイルの再読み込みに失敗しました。");
      Log().ErrorPlain(ctx.LaunchSettingsPath);
    }
    Log().Info(L"Launcher設定ファイルを再読み込みしました。");
    if (*failed) return;
  }

  // 11. Whether the notices page is shown at all.
  Log().Info(L"通知データファイルを読み込みます。");
  if (!LoadNotificationHeader(ctx.NotificationPath, &ctx.NotificationVersion, &ctx.NotificationCount)) {
    Log().Error(L"通知データファイルの読み込みに失敗しました。");
    ctx.SkipNotices = true;
  } else {
    ctx.SkipNotices = false;
    if (ctx.NotificationCount == 0 || CountApplicableNotices(ctx.NotificationPath, ctx.Settings) == 0) {
      ctx.SkipNotices = true;
      Log().Info(L"通知情報が存在しないため通知画面を表示しません。");
    } else {
      Log().Info(L"通知情報が存在しないため通知画面を表示します。");
    }
  }
  Log().Info(L"通知データファイルを読み込みました。");
}

void CSetupApp::RunWizardSteps(bool* failed, std::wstring* pendingText) {
  LauncherContext& ctx = context_;
  // 12.
  WriteEnvironmentSurvey(ctx.Settings);

  // 13, 14: without notices the checks run before the wizard opens.
  ctx.StartPage = 0;
  if (ctx.SkipNotices) {
    Log().Info(L"お知らせ画面をスキップします。");
    ctx.StartPage = 1;
    RunEnvironmentChecks(ctx.Settings, ctx, &ctx, CheckCaller::StartUp);
  }

  // 15. Results known before the wizard open it on the error page.
  static const struct {
    int32_t code;
    const wchar_t* line;
  } kStartResults[] = {
      {kResultNoServer, L"エラー画面に遷移します(インストールランチャーバージョンファイルの取得に失敗)。"},
      {kResultPackageDownloadFailed, L"エラー画面に遷移します(最新のインストーラーの取得に失敗)。"},
      {kResultConflict, L"エラー画面に遷移します(競合製品を検出)。"},
      {kResultSecurityCenterConflict, L"エラー画面に遷移します(セキュリティセンターで上書き対象の競合製品を検出)。"},
      {kResultUnsupportedOs, L"エラー画面に遷移します(インストール対象外のOSを検出)。"},
      {kResultOtherEdition, L"エラー画面に遷移します(別ラインナップのTAVO製品を検出)。"},
      {kResultLatestInstalled, L"エラー画面に遷移します(最新のTAVO製品を検出)。"},
  };
  for (const auto& row : kStartResults) {
    if (ctx.ResultCode == row.code) {
      Log().Info(row.line);
      ctx.StartPage = 2;
    }
  }

  // 16.
  Log().Info(L"インストールウィザードを表示します。");
  auto startWorker = [&ctx](MessageSink* target) {
    return StartInstallThread(InstallRun{ctx.Settings, ctx, ctx, ctx.Silent}, target);
  };
  const WizardRun run{ctx.Settings, ctx, ctx, ctx.SkipNotices, ctx.StartPage, ctx.Passive};
  const int dialogResult = ctx.Silent && !ctx.Passive ? RunSilentWizard(run, startWorker) : RunMainDialog(run, startWorker);
  // A worker that reported its result finishes its last log lines before the process ends.
  WaitForDetachedWorkers();
  if (dialogResult == kDialogAbort) {
    *pendingText = L"ウィザードダイアログの表示に失敗しました。";
    *failed = true;
    Log().Error(*pendingText);
  }
  Log().Info(L"インストールウィザード処理を完了しました。");
}
