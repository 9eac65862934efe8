#include "app/startup/init_worker_thread.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/debug_log.h"
#include "app/launcher_context.h"
#include "base/text.h"
#include "base/worker_threads.h"
#include "config/xml_config_reader.h"
#include "env/os_detection.h"
#include "net/http_downloader.h"
#include "net/retry_chain.h"
#include "net/signed_download.h"
#include "platform/clock.h"
#include "platform/cmdline_split.h"
#include "platform/com.h"
#include "platform/error.h"
#include "platform/held_file.h"
#include "platform/http.h"
#include "platform/named_objects.h"
#include "platform/process.h"
#include "platform/run_process.h"
#include "trust/program_trust.h"

namespace {

const wchar_t kVersionFileName[] = L"SetupLauncherVer.xml";
const wchar_t kVersionKeys[] = L"SetupLauncherVer/SetupLauncherVerData/";
const wchar_t kDownloadOk[] = L"以下のプログラムのダウンロードに成功しました。";
const wchar_t kDownloadFailed[] = L"以下のプログラムのダウンロードに失敗しました。";

// Downloads a file and holds it from its arrival until this launcher ends,
// so that nobody can change it before the newer launcher has taken the hold
// over.
bool DownloadAndHold(LauncherContext& ctx, Downloader& downloader, DownloadRequest request) {
  platform::HeldFile file;
  request.hold = &file;
  if (!downloader.Download(request)) return false;
  ctx.HeldFiles.push_back(std::move(file));
  return true;
}

}  // namespace

CInitWorkerThread::CInitWorkerThread(LauncherContext& context, WaitClock& clock) : ctx_(context), clock_(clock) {}

void CInitWorkerThread::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (NotifyWindow) NotifyWindow->Send(message, wParam, lParam);
}

int32_t CInitWorkerThread::Run() {
  Log().Info(L"実行環境のOSの確認を実行します。");
  if (!IsSupportedOs()) {
    Log().Error(L"サポート対象外のOSです。");
    Send(WM_INIT_DONE, kInitGoOn, kInitKindUnsupportedOs);
    return kInitGoOn;
  }
  if (ctx_.Settings.InstallType != 0) return GoOnWithoutSelfUpdate();
  return ReportUpdateDone(UpdateTheLauncher());
}

int32_t CInitWorkerThread::GoOnWithoutSelfUpdate() {
  Log().Info(L"バージョンアップは行いません。");
  Send(WM_INIT_STEP, kInitStepProgramStart, 0);
  clock_.Wait(1000);
  Send(WM_INIT_STEP, kInitStepProgramStart + 1, 0);
  clock_.Wait(500);
  Send(WM_INIT_DONE, kInitSkipped, kInitKindNone);
  return kInitGoOn;
}

bool CInitWorkerThread::ShowStep(const wchar_t* starting, int32_t step, bool (CInitWorkerThread::*work)(),
                                 const wchar_t* failed) {
  Log().Info(starting);
  Send(WM_INIT_STEP, static_cast<uintptr_t>(step), 0);
  const bool done = RunStep([this, work] { return (this->*work)(); }, false);
  if (!done) Log().Error(failed);
  Send(WM_INIT_STEP, static_cast<uintptr_t>(step + 1), 0);
  return done;
}

int32_t CInitWorkerThread::UpdateTheLauncher() {
  Log().Info(L"ランチャーのバージョンアップ確認を実行します。");
  if (!ShowStep(L"インストールランチャーバージョンアップファイルの取得を行います。", kInitStepVersionFile,
                &CInitWorkerThread::FetchVersionFile, L"インストールランチャーバージョンファイルの取得に失敗しました。")) {
    return kInitKindVersionFile;
  }
  if (!ShowStep(L"インストールランチャーのバージョン取得を行います。", kInitStepVersionRead,
                &CInitWorkerThread::ReadVersionFile, L"インストールランチャーのバージョン取得に失敗しました。")) {
    return kInitKindNone;
  }
  if (ctx_.SkipSelfUpdate) {
    // "/noupdate": the version file is still read, as it names the newest
    // version of each edition; nothing it announces is fetched.
    Log().Info(L"コマンドラインの指定により、ランチャーのバージョンアップは行いません。");
  } else if (!ShowStep(L"最新のインストールランチャーの取得を行います。", kInitStepNewerFiles,
                       &CInitWorkerThread::UpdateLauncherFiles, L"最新のインストーラーの取得に失敗しました。")) {
    return kInitKindNewerFiles;
  }
  if (RestartRequired) {
    // A newer launcher that could not be started leaves the run to this one.
    ShowStep(L"ランチャーの再起動を行います。", kInitStepNewLauncher, &CInitWorkerThread::StartNewLauncher,
             L"インストーラーの再起動に失敗しました。");
  } else {
    Log().Info(L"ランチャーを再起動しません。");
  }
  return kInitKindNone;
}

int32_t CInitWorkerThread::ReportUpdateDone(int32_t failureKind) {
  // Without a newer launcher nobody takes the downloaded files over.
  if (!RestartRequired) ctx_.HeldFiles.clear();
  const int32_t outcome = RestartRequired ? kInitRestart : kInitGoOn;
  if (RestartRequired) Log().Info(L"アップデートに成功しました。");
  Send(WM_INIT_DONE, static_cast<uintptr_t>(outcome), failureKind);
  return outcome;
}

bool CInitWorkerThread::FetchVersionFile() {
  const std::wstring local = ctx_.WorkFolder + kVersionFileName;
  HttpDownloader http;
  SignedFileDownloader downloader(http, trust::AnswerKind::kVersionFile);
  // The start-up dialog waits for this: over all servers together it ends
  // within the deadline, whatever they send.
  const uint64_t start = platform::TickCountMs();
  auto fetch = [&](const std::wstring& url) {
    const uint64_t spent = platform::TickCountMs() - start;
    if (spent >= kVersionFileDeadlineMs) {
      platform::SetLastError(platform::kErrorInternetTimeout);
      return false;
    }
    const auto left = static_cast<uint32_t>(kVersionFileDeadlineMs - spent);
    // Held from its arrival to the end of this launcher: what is read now,
    // and again by a newer launcher, is what was downloaded.
    return DownloadAndHold(ctx_, downloader, XmlFileRequest(url, local, kVersionFileTimeoutMs, left));
  };
  const bool fetched = TryEachServer(
      ctx_.Settings.DownloadServers, kVersionFileName, fetch,
      [&](const std::wstring& url, bool succeeded) {
        if (succeeded) {
          Log().Info(kDownloadOk);
        } else {
          Log().Error(kDownloadFailed);
        }
        Log().Info(local);
        Log().Info(url);
      });
  return fetched;
}

bool CInitWorkerThread::ReadVersionFile() {
  platform::InitializeThreadComponents();
  XmlConfigReader reader;
  const std::wstring local = ctx_.WorkFolder + kVersionFileName;
  if (!reader.Load(local)) return false;
  // Held since its download, it cannot change on Windows; the simulated
  // machine knows no sharing modes, so a change is looked for here.
  const auto held = std::find_if(ctx_.HeldFiles.rbegin(), ctx_.HeldFiles.rend(),
                                 [&](const platform::HeldFile& file) { return file.Path() == local; });
  if (held == ctx_.HeldFiles.rend() || !held->Unchanged()) {
    LogErrors({L"以下のファイルは読み込みの間に変更されました。", local});
    return false;
  }
  const std::wstring base = kVersionKeys;
  int32_t found = 0;
  // Each value is read in turn; an error keeps the values read before it.
  auto readUInt = [&](const wchar_t* key, uint32_t def, uint32_t* out) {
    uint32_t value = static_cast<uint32_t>(reader.GetInt(base + key + L"/", static_cast<int32_t>(def), &found));
    if (found == kXmlDomFailure) return false;
    *out = value;
    return true;
  };
  auto readString = [&](const wchar_t* key, std::wstring* out) {
    std::wstring value = reader.GetString(base + key + L"/", std::wstring(), &found);
    if (found == kXmlDomFailure) return false;
    *out = value;
    return true;
  };
  return readUInt(L"LastVersion", 2000, &LastVersion) &&
         readUInt(L"SetupNotificationVersion", 0, &SetupNotificationVersion) &&
         readUInt(L"SetupLauncherXMLVersion", 0, &SetupLauncherXMLVersion) &&
         readString(L"SetupLauncherURL", &SetupLauncherURL) &&
         readString(L"SetupNotificationURL", &SetupNotificationURL) &&
         readString(L"SetupConflictURL", &SetupConflictURL) && readString(L"SetupExe", &SetupExe);
}

bool CInitWorkerThread::UpdateLauncherFiles() {
  HttpDownloader downloader;
  const LaunchSettings& settings = ctx_.Settings;

  if (LastVersion > static_cast<uint32_t>(settings.DownloaderVersion)) {
    Log().Info(L"ランチャーをバージョンアップします。");
    const std::wstring local = ctx_.WorkFolder + L"Setup.exe";
    auto logFailure = [&](int attempt) {
      Log().Error(FormatText(L"以下のプログラムのダウンロードに失敗しました。(リトライ:%d)", attempt));
      Log().Info(local);
      Log().Info(SetupExe);
    };
    // Every attempt fetches the whole file: nothing but its signature, which
    // an unsigned build has not, could tell that resumed pieces make it. The
    // marker's wait follows the last failure too.
    // Held from its arrival, before its signature is checked: the file
    // started is the file checked.
    platform::HeldFile launcher;
    DownloadRequest request{SetupExe, local};
    request.hold = &launcher;
    constexpr bool kWaitAfterLast = true;
    if (!DownloadWithRetries(downloader, request, ctx_.UserTempFolder, clock_, logFailure, nullptr, kWaitAfterLast)) {
      return false;
    }
    Log().Info(kDownloadOk);
    Log().Info(local);
    Log().Info(SetupExe);
    ctx_.HeldFiles.push_back(std::move(launcher));
    if (!trust::NewLauncherAccepted(ctx_.HeldFiles.back())) return false;
    RestartRequired = 1;
  }

  if (SetupLauncherXMLVersion > static_cast<uint32_t>(settings.SetupLauncherXMLVersion) || RestartRequired) {
    Log().Info(L"ランチャーファイルを更新します。");
    const std::wstring local = ctx_.WorkFolder + L"SetupLauncherV2.xml";
    SignedFileDownloader settingsFile(downloader, trust::AnswerKind::kLaunchSettings);
    if (!DownloadAndHold(ctx_, settingsFile, XmlFileRequest(SetupLauncherURL, local))) {
      Log().Error(kDownloadFailed);
      Log().Info(SetupLauncherURL);
      return false;
    }
    ctx_.LaunchSettingsPath = local;
    Log().Info(kDownloadOk);
    Log().Info(SetupLauncherURL);
    ctx_.LaunchSettingsUpdated = true;
  }

  if (SetupNotificationVersion > static_cast<uint32_t>(ctx_.NotificationVersion) || RestartRequired) {
    Log().Info(L"通知ファイルを更新します。");
    const std::wstring local = ctx_.WorkFolder + L"SetupNotification.xml";
    SignedFileDownloader notificationFile(downloader, trust::AnswerKind::kNotifications);
    if (DownloadAndHold(ctx_, notificationFile, XmlFileRequest(SetupNotificationURL, local))) {
      ctx_.NotificationPath = local;
      Log().Info(kDownloadOk);
    } else {
      Log().Error(kDownloadFailed);
    }
    Log().Info(local);
    Log().Info(SetupNotificationURL);
  }
  return true;
}

bool CInitWorkerThread::StartNewLauncher() {
  // Held since their download, the files cannot change on Windows; the
  // simulated machine knows no sharing modes, so a change is looked for here.
  for (const platform::HeldFile& file : ctx_.HeldFiles) {
    if (!file.Unchanged()) {
      LogErrors({L"ダウンロードしたファイルが変更されたため、新しいランチャーを起動しません。", file.Path()});
      return false;
    }
  }
  // Both paths quoted: a temporary folder with a blank must not start a
  // program planted at the part before the blank. "/O" and its path stand as
  // every launcher has read them; this process's id follows on its own, so
  // that the new launcher ends this launcher and nothing else. A silent run
  // stays silent, with its log and proxy.
  using platform::QuoteWindowsArgument;
  std::wstring commandLine = platform::QuoteWindowsProgram(ctx_.WorkFolder + L"Setup.exe") + L" /N /O " +
                             QuoteWindowsArgument(ctx_.SourceSettingsPath) +
                             FormatText(L" /SourcePid:%u", platform::CurrentProcessId());
  if (ctx_.Silent) commandLine += ctx_.Passive ? L" /passive" : L" /quiet";
  if (!ctx_.LogPath.empty()) commandLine += L" /log " + QuoteWindowsArgument(ctx_.DebugLogPath);
  if (!ctx_.Proxy.empty()) commandLine += L" /proxy " + QuoteWindowsArgument(ctx_.Proxy);
  // The object says to the new launcher that this one hands over to it (a
  // release build ends no parent without it). A silent run waits for the new
  // launcher and passes its exit code on, but only once the new launcher has
  // set it, saying that it took over.
  auto handOver = std::make_shared<platform::AdminEvent>();
  if (handOver->Open(HandOverEventName(platform::CurrentProcessId())) == platform::AdminEvent::Opened::kCreated) {
    ctx_.HandOver = handOver;
  } else {
    Log().Error(L"引き継ぎを確認するオブジェクトを作成できませんでした。");
  }
  Log().Info(L"以下のコマンドを実行します。");
  Log().Info(commandLine);
  auto process = std::make_shared<platform::StartedProcess>();
  if (!process->Start(commandLine, true, nullptr)) return false;
  Log().Info(L"プログラムを起動しました。");
  ctx_.NewLauncher = process;
  ctx_.NewLauncherStarted = true;
  return true;
}

std::wstring HandOverEventName(uint32_t sourcePid) { return FormatText(L"TAVOSetupHandOver.%u", sourcePid); }

bool StartInitWorkerThread(LauncherContext& context, MessageSink* notifyWindow) {
  LauncherContext* run = &context;
  return StartDetachedWorker([run, notifyWindow] {
    CInitWorkerThread worker(*run);
    worker.NotifyWindow = notifyWindow;
    worker.Run();
  });
}
