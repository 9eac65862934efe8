#include "install/install_thread.h"

#include <memory>

#include "base/debug_log.h"
#include "base/result_codes.h"
#include "base/worker_threads.h"
#include "base/working_paths.h"
#include "config/launch_settings.h"
#include "install/package_execution.h"
#include "install/scanner_library.h"
#include "net/package_download.h"
#include "platform/error.h"

namespace {

// The pause before the configuration is fetched and before it is parsed.
constexpr uint32_t kStepPauseMs = 1000;
// What a step that ran out of memory gives: it failed.
constexpr bool kStepFailed = false;

}  // namespace

CInstallThread::CInstallThread(InstallRun run, MessageSink* notifyWindow, WaitClock& clock)
    : run_(run), notifyWindow_(notifyWindow), clock_(clock) {}

void CInstallThread::SendStep(InstallStep step) {
  if (notifyWindow_) notifyWindow_->Send(WM_INSTALL_STEP, static_cast<uintptr_t>(step), 0);
}

void CInstallThread::ProgressRelay::Notify(uint32_t message, const std::wstring& text) {
  // The text lives until the window has handled the message.
  if (owner_.notifyWindow_) owner_.notifyWindow_->Send(message, 0, reinterpret_cast<intptr_t>(text.c_str()));
}

int32_t CInstallThread::Run() {
  Log().Info(L"インストールスレッドを実行します。");
  Log().Info(L"インストール処理を実行します。");
  int32_t detail = 0;
  const int32_t result =
      run_.Settings.InstallType != 0
          ? RunStep([&] { return RunLocalInstall(run_, *this, clock_, detail); }, int32_t{kResultInstallerFailed})
          : RunNetworkInstall(detail);
  if (result == kResultSuccess) {
    // The library only refines the installed product; it never changes the result.
    if (RunStep([&] { return ReplaceScannerLibrary(run_.Settings, run_.Paths, packages_); }, kStepFailed)) {
      Log().Info(L"tguiScan.dllを置き換えました。");
    } else {
      Log().Info(L"tguiScan.dllを置き換えません。");
    }
  }
  // Kept where people look for it; the installer wrote it where nobody else reaches.
  CopyInstallerLogForUser(run_.Paths);
  if (notifyWindow_) {
    notifyWindow_->Send(WM_INSTALL_DONE, static_cast<uintptr_t>(static_cast<intptr_t>(detail)), result);
  }
  Log().Info(L"インストールスレッドを実行しました。");
  return result;
}

int32_t CInstallThread::RunNetworkInstall(int32_t& detail) {
  Log().Info(L"ネットワークインストールを実行します。");
  Log().Info(L"ネットワーク接続確認を行います。");
  SendStep(InstallStep::kCheckingServers);
  const bool connected = RunStep([&] { return CheckServers(run_.Settings); }, kStepFailed);
  if (connected) Log().Info(L"ネットワーク接続を確認しました。");
  SendStep(InstallStep::kServersChecked);
  if (!connected) return kResultNoServer;

  Log().Info(L"設定ファイルのダウンロードを行います。");
  SendStep(InstallStep::kFetchingConfig);
  clock_.Wait(kStepPauseMs);
  const std::wstring& configPath = run_.Paths.DownloadConfigPath;
  // Held from its arrival until this worker ends.
  const bool fetched = RunStep([&] { return FetchDownloadConfig(run_.Settings, configPath, &config_); }, kStepFailed);
  if (!fetched) Log().Error(L"設定ファイルのダウンロードに失敗しました。");
  SendStep(InstallStep::kConfigFetched);
  if (!fetched) return kResultConfigDownloadFailed;

  Log().Info(L"設定ファイルの解析を行います。");
  SendStep(InstallStep::kParsingConfig);
  clock_.Wait(kStepPauseMs);
  const auto applies = [&](const PackageEntry& package) { return IsPackageApplicable(package, run_.Settings); };
  bool parsed = RunStep([&] { return ParseDownloadConfig(configPath, &packages_, applies); }, kStepFailed);
  // Held since its download, it cannot change on Windows; the simulated
  // machine knows no sharing modes, so a change is looked for here.
  if (parsed && !config_.Unchanged()) {
    LogErrors({L"以下のファイルは読み込みの間に変更されました。", configPath});
    packages_.clear();
    parsed = false;
  }
  if (parsed) {
    Log().Info(L"設定ファイルの解析に成功しました。");
  } else {
    Log().Error(L"設定ファイルの解析に失敗しました。");
  }
  SendStep(InstallStep::kConfigParsed);
  if (!parsed) return kResultConfigInvalid;

  Log().Info(L"パッケージのダウンロードを行います。");
  SendStep(InstallStep::kDownloadingPackages);
  int32_t downloadError = kResultDownloadFailed;
  const bool downloaded = RunStep(
      [&] { return DownloadPackages(run_.Settings, run_.Paths, &packages_, &progress_, &downloadError, clock_); },
      kStepFailed);
  if (downloaded) {
    Log().Info(L"パッケージのダウンロードに成功しました。");
  } else {
    Log().Error(L"ファイルのダウンロードに失敗しました。");
  }
  SendStep(InstallStep::kPackagesDownloaded);
  if (!downloaded) return downloadError;

  Log().Info(L"インストール処理を行います。");
  SendStep(InstallStep::kInstalling);
  const InstallVerdict verdict = InstallPackages(run_, packages_, *this, clock_);
  detail = verdict.detail;
  int32_t result;
  if (verdict.outcome == InstallOutcome::Success) {
    Log().Info(L"インストール処理を完了しました。");
    result = kResultSuccess;
  } else {
    Log().Error(L"インストールに失敗しました。");
    result = verdict.outcome == InstallOutcome::NotExecuted ? kResultNotExecuted
             : verdict.detailIsLogClass                     ? kResultInstallerLogFailure
                                                            : kResultInstallerFailed;
  }
  SendStep(InstallStep::kInstalled);
  return result;
}

bool StartInstallThread(InstallRun run, MessageSink* notifyWindow, WaitClock& clock) {
  // The object lives only as long as its work: the status page does not keep it.
  std::shared_ptr<CInstallThread> worker = std::make_shared<CInstallThread>(run, notifyWindow, clock);
  Log().Info(L"インストールスレッドを実行します。");
  return StartDetachedWorker([worker] { worker->Run(); });
}
