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

const wchar_t kEnvironmentDataFailed[] = L"環境データの取得に失敗しました。";
const wchar_t kDialogFailed[] = L"ウィザードダイアログの表示に失敗しました。";

// A step that fails: its text goes to the log as an error now, with the
// file it concerns if any, and to the error box at the run's end.
RunOutcome Failed(const std::wstring& text, const std::wstring& file = std::wstring()) {
  Log().Error(text);
  if (!file.empty()) Log().ErrorPlain(file);
  return RunOutcome::Failure(text);
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
  // none is made or entered through a link or mount point. Folders that
  // cannot be made show in the log's first entry, which then moves the log.
  if (named) static_cast<void>(platform::HeldFolder().OpenMaking(ParentFolder(context->DebugLogPath)));
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

// What an administrator looks for first: which launcher ran, as which process, asked for what.
void LogWhatRuns(const LauncherContext& ctx) {
  Log().Info(FormatText(L"ランチャーのバージョン：%u、プロセスID：%u", trust::LauncherVersion(),
                        platform::CurrentProcessId()));
  Log().Info(L"コマンドライン：" + ctx.CommandLineText);
  if (ctx.Silent) Log().Info(ctx.Passive ? L"パッシブモードで実行します。" : L"サイレントモードで実行します。");
  if (!ctx.Proxy.empty()) {
    Log().Info(L"以下のプロキシサーバーを使用します。");
    Log().Info(ProxyForLog(ctx.Proxy));
  }
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
  platform::InitializeCommonControls();
  TakeTheSwitches();
  const RunOutcome prepared = PrepareFoldersAndLog();
  RunOutcome outcome = AcceptCommandLine();
  if (outcome.GoesOn()) outcome = ClaimTheRun();
  // Failed folders stop the run, yet the command line and another launcher
  // still end it with their exit code; the error box is shown either way,
  // with a later step's own error if it has one.
  if (!outcome.error) outcome.error = prepared.error;
  if (outcome.GoesOn()) RemoveStaleWorkFolders(context_);
  if (outcome.GoesOn()) outcome = LoadSettingsAndNoticesHeader();
  if (outcome.GoesOn()) outcome = context_.NoUpdate ? TakePredecessorsBaseSettings() : RunSelfUpdate();
  if (outcome.GoesOn()) outcome = ReloadNewerSettings();
  if (outcome.GoesOn()) {
    DecideWhetherNoticesShow();
    PrepareTheWizard();
    outcome = RunTheWizard();
  }
  EndTheRun(outcome);
  return false;
}

// A command line that cannot be split leaves the switches unset.
void CSetupApp::TakeTheSwitches() {
  ParseArguments(&context_);
  // Nothing of a silent run may wait for a person, not even an error box.
  if (context_.Silent) SuppressMessageBoxes();
  platform::SetHttpProxy(context_.Proxy);
}

// The working paths and the private working folder, then the log; it falls
// back to that folder when the user's temporary folder cannot hold it safely.
RunOutcome CSetupApp::PrepareFoldersAndLog() {
  LauncherContext& ctx = context_;
  const bool pathsKnown = LoadCommonData(&ctx);
  const bool workFolderMade = pathsKnown && PrepareWorkFolder(&ctx);
  const uint32_t workFolderError = platform::LastError();
  if (pathsKnown) StartDebugLog(&ctx, workFolderMade);
  LogWhatRuns(ctx);
  if (!pathsKnown) return RunOutcome::Failure(kEnvironmentDataFailed);
  if (workFolderMade) return RunOutcome::GoOn();
  platform::SetLastError(workFolderError);
  Log().Error(L"作業フォルダーを作成できませんでした。");
  return RunOutcome::Failure(kEnvironmentDataFailed);
}

// Unknown arguments are logged; a silent run then ends at once with 1639, as
// the Windows Installer does, and an interactive one goes on as it always did.
// "/?" shows the usage and ends; a silent run cannot show it and ends with 1639.
RunOutcome CSetupApp::AcceptCommandLine() {
  LauncherContext& ctx = context_;
  for (const std::wstring& arg : ctx.UnknownArguments) {
    Log().ErrorPlain(L"以下のコマンドライン引数は不明です。");
    Log().ErrorPlain(arg);
  }
  if (!ctx.Silent) {
    if (ctx.ShowUsage) {
      ShowUsage();
      Log().Info(L"コマンドラインの使い方を表示しました。");
      return RunOutcome::End();
    }
    if (!ctx.UnknownArguments.empty()) Log().Info(L"不明なコマンドライン引数を無視して続行します。");
    return RunOutcome::GoOn();
  }
  if (!ctx.ShowUsage && ctx.UnknownArguments.empty()) return RunOutcome::GoOn();
  Log().Info(L"コマンドラインが不正なため、何もせずに終了します。（サイレントモード）");
  return RunOutcome::End(kExitInvalidCommandLine);
}

// The launcher that replaced itself with this one ends here; in a silent run
// it waits instead, to pass this one's exit code on, and learns that this one
// took over. Any other launcher makes the machine's launcher object, and ends
// when another launcher holds it.
RunOutcome CSetupApp::ClaimTheRun() {
  const LauncherContext& ctx = context_;
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
  if (!found) return HoldTheLauncherObject();
  TakeOverFromSourceLauncher(sourcePid, signalled ? &handOver : nullptr);
  return RunOutcome::GoOn();
}

// This launcher holds the machine's launcher object with the one it replaces,
// and the files that one downloaded for it. handOverToSignal: the object a
// silent source launcher made, set to tell it that this one took over.
void CSetupApp::TakeOverFromSourceLauncher(uint32_t sourcePid, platform::AdminEvent* handOverToSignal) {
  LauncherContext& ctx = context_;
  // The replaced launcher still holds the object, so it is found existing.
  static_cast<void>(launcherObject_.Open(kLauncherObjectName));
  TakeOverHeldFiles(&ctx);
  uint64_t created = 0;
  if (ctx.Silent && ctx.SourceProcessId != 0) {
    if (handOverToSignal) handOverToSignal->Signal();
    Log().Info(L"アップグレード元プロセスは本プロセスの終了を待ちます。");
  } else if (platform::ProcessCreationTime(platform::CurrentProcessId(), &created) &&
             platform::TerminateProcessCreatedBy(sourcePid, created, 0)) {
    Log().Info(L"アップグレード元プロセスを終了させました。");
  }
}

RunOutcome CSetupApp::HoldTheLauncherObject() {
  using Opened = platform::AdminEvent::Opened;
  switch (launcherObject_.Open(kLauncherObjectName)) {
    case Opened::kCreated:
      return RunOutcome::GoOn();
    case Opened::kForeign:
      Log().ErrorPlain(L"ランチャーの実行中を示すオブジェクトの所有者が管理者ではないため、実行中のランチャーとはみなしません。");
      return RunOutcome::GoOn();
    case Opened::kFailed:
      Log().Error(L"ランチャーの実行中を示すオブジェクトを作成できませんでした。");
      return RunOutcome::GoOn();
    case Opened::kExisting:
      break;
  }
  Log().Info(L"他のセットアップが実行中のため、終了します。");
  if (context_.Silent) return RunOutcome::End(kExitInstallerBusy);
  ShowSetupAlreadyRunning();
  return RunOutcome::End();
}

RunOutcome CSetupApp::LoadSettingsAndNoticesHeader() {
  LauncherContext& ctx = context_;
  if (!LoadLaunchSettings(&ctx.Settings, ctx.LaunchSettingsPath, SettingsPart::kEveryValue)) {
    return Failed(L"設定ファイルの読み込みに失敗しました。", ctx.LaunchSettingsPath);
  }
  Log().Info(L"ランチャー情報を読み込みました。");
  if (!LoadNotificationHeader(ctx.NotificationPath, &ctx.NotificationVersion, &ctx.NotificationCount)) {
    Log().Error(L"通知データファイルの読み込みに失敗しました。");
  } else if (ctx.NotificationCount == 0) {
    ctx.SkipNotices = true;
    Log().Info(L"重要なお知らせ画面を表示しません。");
  }
  if (ctx.Settings.InstallType == 1) ctx.NoUpdate = false;
  return RunOutcome::GoOn();
}

// The start-up dialog, whose worker may fetch and start a newer launcher.
RunOutcome CSetupApp::RunSelfUpdate() {
  LauncherContext& ctx = context_;
  Log().Info(L"更新ダイアログを表示します。");
  auto startWorker = [&ctx](MessageSink* target) { return StartInitWorkerThread(ctx, target); };
  const int dialogResult =
      ctx.Silent && !ctx.Passive ? RunSilentStartup(ctx, startWorker) : RunStartupDialog(ctx, startWorker);
  const RunOutcome outcome = dialogResult == kDialogAbort ? Failed(kDialogFailed) : RunOutcome::GoOn();
  Log().Info(L"更新ダイアログ処理を完了しました。");
  if (!outcome.GoesOn() || !ctx.NewLauncherStarted) return outcome;
  return WaitForNewLauncher();
}

// The newer launcher ends this one as soon as it starts; in a silent run it
// lets this one wait instead, to pass its exit code on. Going on meanwhile
// could open a second wizard or even run a second installation, so this one
// only waits for it. A newer launcher that ends before it has taken over
// leaves the run to this one, which goes on as when the newer launcher could
// not be fetched; one that neither ends nor takes over in time is left to run.
RunOutcome CSetupApp::WaitForNewLauncher() {
  LauncherContext& ctx = context_;
  Log().Info(L"新しいインストーラーに処理を引き継ぎます。");
  int32_t code = -1;
  const bool ended = !ctx.NewLauncher || ctx.NewLauncher->Wait(ctx.Silent ? platform::kInfiniteWait : kHandOverWaitMs, &code);
  if (!ended && !ctx.Silent) return RunOutcome::HandedOver();
  const bool tookOver = ctx.HandOver && ctx.HandOver->IsSignalled();
  if (ctx.Silent && ended && tookOver && IsSilentExitCode(code)) {
    Log().Info(FormatText(L"新しいインストーラーが終了しました。(終了コード：%d)", code));
    return RunOutcome::HandedOver(code);
  }
  Log().Error(FormatText(L"新しいインストーラーが処理を引き継ぐ前に終了しました。(終了コード：%d)", code));
  ctx.ResultCode = kResultPackageDownloadFailed;
  return RunOutcome::GoOn();
}

// A launcher started by its predecessor takes the base values from the
// settings file it was started for.
RunOutcome CSetupApp::TakePredecessorsBaseSettings() {
  if (LoadLaunchBase(&context_.Settings, context_.SourceSettingsPath)) return RunOutcome::GoOn();
  return Failed(L"設定ファイルの基本情報の再読み込みに失敗しました。", context_.SourceSettingsPath);
}

// A newer settings file replaces every list, not just adds to them.
RunOutcome CSetupApp::ReloadNewerSettings() {
  LauncherContext& ctx = context_;
  if (!ctx.LaunchSettingsUpdated) return RunOutcome::GoOn();
  Log().Info(L"Launcher設定ファイルを再読み込みします。");
  ClearLaunchLists(&ctx.Settings);
  const RunOutcome outcome = LoadLaunchSettings(&ctx.Settings, ctx.LaunchSettingsPath, SettingsPart::kAllButBase)
                                 ? RunOutcome::GoOn()
                                 : Failed(L"設定ファイルの再読み込みに失敗しました。", ctx.LaunchSettingsPath);
  Log().Info(L"Launcher設定ファイルを再読み込みしました。");
  return outcome;
}

void CSetupApp::DecideWhetherNoticesShow() {
  LauncherContext& ctx = context_;
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

// The survey, and without notices the checks, before the wizard opens; a
// result known by then opens it on the error page.
void CSetupApp::PrepareTheWizard() {
  LauncherContext& ctx = context_;
  WriteEnvironmentSurvey(ctx.Settings);
  ctx.StartPage = 0;
  if (ctx.SkipNotices) {
    Log().Info(L"お知らせ画面をスキップします。");
    ctx.StartPage = 1;
    RunEnvironmentChecks(ctx.Settings, ctx, &ctx, CheckCaller::StartUp);
  }
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
}

RunOutcome CSetupApp::RunTheWizard() {
  LauncherContext& ctx = context_;
  Log().Info(L"インストールウィザードを表示します。");
  auto startWorker = [&ctx](MessageSink* target) {
    return StartInstallThread(InstallRun{ctx.Settings, ctx, ctx, ctx.Silent}, target);
  };
  const WizardRun run{ctx.Settings, ctx, ctx, ctx.SkipNotices, ctx.StartPage, ctx.Passive};
  const int dialogResult = ctx.Silent && !ctx.Passive ? RunSilentWizard(run, startWorker) : RunMainDialog(run, startWorker);
  // A worker that reported its result finishes its last log lines before the process ends.
  WaitForDetachedWorkers();
  const RunOutcome outcome = dialogResult == kDialogAbort ? Failed(kDialogFailed) : RunOutcome::GoOn();
  Log().Info(L"インストールウィザード処理を完了しました。");
  return outcome;
}

// The error box of a failed run, the exit code, and the log's last entries.
void CSetupApp::EndTheRun(const RunOutcome& outcome) {
  LauncherContext& ctx = context_;
  if (outcome.error) {
    ShowErrorBox(nullptr, kErrorCaption, *outcome.error);
    Log().Info(*outcome.error);
  }
  if (outcome.next != RunOutcome::Next::kGoOn) {
    ctx.ExitCode = outcome.exitCode;
  } else if (ctx.Silent) {
    ctx.ExitCode = SilentRunsExitCode(outcome.error.has_value());
  }
  if (ctx.Silent && outcome.next != RunOutcome::Next::kHandedOver) {
    Log().Info(FormatText(L"サイレントモードの終了コード：%d", ctx.ExitCode));
  }
  LogTheRunsEnd(ctx.ExitCode);
}

// The exit code by which deployment tools tell how a silent run went.
int32_t CSetupApp::SilentRunsExitCode(bool failed) const {
  const LauncherContext& ctx = context_;
  if (failed) return kExitStartupFailed;
  if (ctx.ResultCode == kResultLatestInstalled) {
    Log().Info(L"最新のTAVO製品がインストール済みのため、成功として終了します。（サイレントモード）");
  }
  return SilentExitCode(ctx, SuccessAsksRestart(ctx.Settings, ctx.ResultCode));
}
