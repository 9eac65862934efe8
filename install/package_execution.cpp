#include "install/package_execution.h"

#include <vector>

#include "base/debug_log.h"
#include "base/editions.h"
#include "base/paths.h"
#include "base/result_codes.h"
#include "base/run_result.h"
#include "base/text.h"
#include "base/worker_threads.h"
#include "base/working_paths.h"
#include "config/download_config.h"
#include "config/launch_settings.h"
#include "config/package_paths.h"
#include "env/os_detection.h"
#include "install/install_result.h"
#include "install/install_run.h"
#include "net/wait_clock.h"
#include "platform/clock.h"
#include "platform/cmdline_split.h"
#include "platform/code_signature.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/held_file.h"
#include "platform/named_objects.h"
#include "platform/run_process.h"
#include "trust/program_trust.h"

const wchar_t kInstallerVerboseLogName[] = L"TAVOInstallLog.txt";
const wchar_t kDistributionFileName[] = L"dpkg.xml";

namespace {

const wchar_t kInstallerMutexName[] = L"_MSIExecute";

std::wstring MsiexecPath(const std::wstring& systemFolder) { return JoinPath(systemFolder, L"msiexec.exe"); }

// Every path goes into the command line quoted as the installer's own
// command-line parser reads it back, so that no name can add an argument.
// A program path that cannot be quoted gives no command at all.
std::wstring MsiCommand(const std::wstring& systemFolder, const std::wstring& arguments) {
  const std::wstring program = platform::QuoteWindowsProgram(MsiexecPath(systemFolder));
  return program.empty() ? std::wstring() : program + arguments;
}

// A path below the launcher's folder, given with backslashes as the editions'
// folders are named ("TTS\tts_nt32_jpn.exe").
std::wstring BesideLauncher(const WorkingPaths& paths, const std::wstring& relative) {
  std::wstring native = relative;
  for (wchar_t& c : native) {
    if (c == L'\\') c = platform::PathSeparator();
  }
  return JoinPath(EnsureTrailingSeparator(paths.LauncherFolder), native);
}

// The skip decision after a failed package: true to go on with the next one.
bool SkipFailedPackage(const PackageEntry& package) {
  if (package.ErrorSkip != 0) {
    Log().Info(L"スキップモードを実行します。");
    return true;
  }
  Log().Info(L"スキップモードを実行しません。");
  return false;
}

// In a silent run, before an installer: false, with the Windows Installer's
// own code for a busy installer as the detail, when it stayed busy.
bool InstallerMayStart(const InstallRun& run, WaitClock& clock, int32_t& detail) {
  if (!run.WaitForBusyInstaller || WaitForIdleWindowsInstaller(clock)) return true;
  detail = kInstallerBusyCode;
  return false;
}

}  // namespace

LocalInstallFiles LocalInstallFilesFor(int32_t productType, bool windows64) {
  // Each edition's files lie in a folder named by its short code; an unknown
  // type takes the last edition's.
  const Edition* edition = EditionOf(productType);
  const std::wstring folder = (edition ? edition : &kEditions[3])->shortCode;
  const std::wstring prefix = ToLowerAscii(folder);
  LocalInstallFiles files;
  files.installer = FormatText(L"%ls\\%ls_nt%ls_jpn.exe", folder.c_str(), prefix.c_str(), windows64 ? L"64" : L"32");
  files.configuration = folder + L"\\cfg.xml";
  files.distribution = folder + L"\\dpkg.xml";
  return files;
}

bool IsMsiPackage(const std::wstring& fileName) { return ExtensionOf(fileName) == L"msi"; }

std::wstring NetworkMsiCommand(const std::wstring& systemFolder, const std::wstring& packagePath,
                               const std::wstring& installerLog, const std::wstring& distributionPath) {
  using platform::QuoteWindowsArgument;
  return MsiCommand(systemFolder, FormatText(L" /i %ls /qn REBOOT=ReallySuppress /l*v+ %ls IGNORE_CONFLICTS=1  "
                                             L"DISTRIBUTION_PACKAGE=%ls",
                                             QuoteWindowsArgument(packagePath).c_str(),
                                             QuoteWindowsArgument(installerLog).c_str(),
                                             QuoteWindowsArgument(distributionPath).c_str()));
}

std::wstring LocalMsiCommand(const std::wstring& systemFolder, const std::wstring& installerPath,
                             const std::wstring& configurationPath, const std::wstring& installerLog,
                             const std::wstring& distributionPath) {
  using platform::QuoteWindowsArgument;
  return MsiCommand(systemFolder, FormatText(L" /i %ls /qn REBOOT=ReallySuppress ADMINCFG=%ls /l*v+ %ls "
                                             L"IGNORE_CONFLICTS=1 DISTRIBUTION_PACKAGE=%ls",
                                             QuoteWindowsArgument(installerPath).c_str(),
                                             QuoteWindowsArgument(configurationPath).c_str(),
                                             QuoteWindowsArgument(installerLog).c_str(),
                                             QuoteWindowsArgument(distributionPath).c_str()));
}

std::wstring DirectCommand(const std::wstring& filePath) { return platform::QuoteWindowsProgram(filePath); }

namespace {

bool IsFullPath(const std::wstring& path) {
  const bool drive = path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
  const bool share = path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\';
  const bool root = !path.empty() && path[0] == L'/' && platform::PathSeparator() == L'/';
  return drive || share || root;
}

}  // namespace

const PackageEntry* PackageStartedBy(const std::wstring& command, const std::vector<PackageEntry>& packages,
                                     const std::wstring& workFolder) {
  const std::vector<std::wstring> words = platform::SplitWindowsCommandLine(command);
  const std::wstring program = words.empty() ? std::wstring() : words[0];
  if (!IsFullPath(program) || ExtensionOf(FileNameOf(program)).empty()) return nullptr;
  for (const PackageEntry& package : packages) {
    if (package.Verified && package.File &&
        ToLowerAscii(PackageFilePath(workFolder, package)) == ToLowerAscii(program)) {
      return &package;
    }
  }
  return nullptr;
}

namespace {

// A release build starts a checked program by a path that cannot be led to
// another file: no junction or link on it, while the program is held.
bool StartedByItsOwnPath(const platform::HeldFile& file) {
  if (trust::PinnedSignerKeys().empty() || platform::NamedWithoutLinks(file)) return true;
  LogErrors({L"以下のプログラムへのパスにリンクが含まれるため、実行しません。", file.Path()});
  return false;
}

// A release build runs a command only when it starts a program of this run
// that a vendor key signed: the configuration that names it is unsigned.
bool CommandMayRun(const std::wstring& command, const std::vector<PackageEntry>& packages,
                   const std::wstring& workFolder) {
  if (trust::PinnedSignerKeys().empty()) return true;
  const PackageEntry* started = PackageStartedBy(command, packages, workFolder);
  if (!started) {
    Log().ErrorPlain(L"以下のコマンドは、このインストールで確認したプログラムを起動しないため、実行しません。");
    Log().ErrorPlain(command);
    return false;
  }
  if (!started->File->Unchanged()) {
    LogErrors({L"以下のパッケージは確認の後に変更されたため、実行しません。", started->File->Path()});
    return false;
  }
  return trust::VendorSignatureAccepted(*started->File) && StartedByItsOwnPath(*started->File);
}

}  // namespace

bool WaitForIdleWindowsInstaller(WaitClock& clock) {
  if (!platform::IsMutexOwned(kInstallerMutexName)) return true;
  Log().Info(L"Windowsインストーラーが他のインストールを実行中です。終了を待ちます。");
  for (uint32_t waited = 0; waited < kBusyInstallerWaitMs;) {
    clock.Wait(kBusyInstallerStepMs);
    waited += kBusyInstallerStepMs;
    if (!platform::IsMutexOwned(kInstallerMutexName)) {
      Log().Info(FormatText(L"Windowsインストーラーの他のインストールが終了しました。(待ち時間：%u秒)", waited / 1000));
      return true;
    }
  }
  Log().ErrorPlain(FormatText(L"Windowsインストーラーの他のインストールが%u分以内に終了しないため、インストールを実行しません。",
                              kBusyInstallerWaitMs / 60000));
  return false;
}

namespace {

// What became of one verified package of a network install.
enum class PackageOutcome {
  kInstalled,     // its installer or command succeeded
  kNoCommand,     // an ExecType 2 package with an empty command: nothing to run, nothing failed
  kDownloadOnly,  // any other ExecType
  kFailed,
  kNotExecuted,   // its installer left no trace: failed, and the run is no success unless a later package is
};

// What the packages of one network install share.
struct PackageRun {
  const InstallRun& run;
  const std::vector<PackageEntry>& packages;
  InstallStepSink& sink;
  WaitClock& clock;
  // Written where no process of the user reaches; a copy goes beside the debug log at the end.
  // Each installer appends its log to it ("/l*v+"), so that it keeps every package of the run.
  std::wstring installerLog = std::wstring();
  // The exit code or log class of the package run last.
  int32_t detail = 0;
  // Once set, they stay for the rest of the run: an installer's log told why
  // it failed, or an installer left no trace.
  bool detailIsLogClass = false;
  bool notExecuted = false;
};

// Runs a program and waits for its end, with its window shown: an installer
// may ask the user something.
bool RunToItsEnd(const std::wstring& command, int32_t* exitCode) {
  constexpr bool kWaitForEnd = true;
  constexpr bool kShowWindow = true;
  return platform::RunProcess(nullptr, command, L"", kWaitForEnd, kShowWindow, platform::kInfiniteWait, exitCode);
}

PackageOutcome RunInstallerPackage(PackageRun& r, const PackageEntry& package, const std::wstring& packagePath) {
  // Checked again right before it starts, through the hold that starts it.
  if (!trust::VendorSignatureAccepted(*package.File) || !StartedByItsOwnPath(*package.File)) {
    return PackageOutcome::kFailed;
  }
  if (!InstallerMayStart(r.run, r.clock, r.detail)) return PackageOutcome::kFailed;
  r.sink.SetInstallStartTime(platform::UnixTimeNow());
  // The Windows Installer of the system's own width: under WoW64 the
  // system folder would give the 32-bit one.
  const std::wstring systemFolder = platform::GetNativeSystemFolder();
  if (systemFolder.empty()) {
    Log().Error(L"システムフォルダーを取得できないため、インストールを実行できませんでした。");
    return PackageOutcome::kFailed;
  }
  const std::wstring command =
      IsMsiPackage(package.PackageFileName)
          ? NetworkMsiCommand(systemFolder, packagePath, r.installerLog,
                              JoinPath(r.run.Paths.WorkFolder, kDistributionFileName))
          : DirectCommand(packagePath);
  Log().Info(L"以下のインストールコマンドを実行します。");
  Log().Info(command);
  if (!RunToItsEnd(command, &r.detail)) {
    Log().Error(L"インストールの実行に失敗しました。");
    return PackageOutcome::kFailed;
  }
  PackageOutcome outcome = PackageOutcome::kFailed;
  const InstallVerdict verdict = DetermineInstallOutcome(r.run, r.sink.InstallStartTime(), r.detail, r.notExecuted);
  r.detail = verdict.detail;
  r.detailIsLogClass = r.detailIsLogClass || verdict.detailIsLogClass;
  switch (verdict.outcome) {
    case InstallOutcome::Success:
      Log().Info(L"インストールの実行処理（成功）");
      return PackageOutcome::kInstalled;
    case InstallOutcome::NotExecuted:
      r.notExecuted = true;
      Log().Info(L"プログラムの実行をキャンセルしました。");
      outcome = PackageOutcome::kNotExecuted;
      break;
    case InstallOutcome::Failure:
      break;
  }
  Log().Error(L"インストールの実行に失敗しました（戻り値エラー）。");
  return outcome;
}

PackageOutcome RunCommandPackage(PackageRun& r, const PackageEntry& package) {
  const std::wstring command = PackageCommand(r.run.Paths.WorkFolder, package);
  if (command.empty()) return PackageOutcome::kNoCommand;
  Log().Info(L"以下のコマンドを実行します。");
  Log().Info(command);
  if (!CommandMayRun(command, r.packages, r.run.Paths.WorkFolder)) return PackageOutcome::kFailed;
  if (!RunToItsEnd(command, &r.detail)) {
    Log().Error(L"プログラムの実行に失敗しました。");
    return PackageOutcome::kFailed;
  }
  Log().Info(FormatText(L"プログラムの終了コード：%d", r.detail));
  if (r.detail == package.ExecSuccessCode) {
    Log().Info(L"インストールの実行処理（成功）");
    return PackageOutcome::kInstalled;
  }
  Log().Error(L"プログラムの実行に失敗しました（エラー値）。");
  return PackageOutcome::kFailed;
}

PackageOutcome RunPackage(PackageRun& r, const PackageEntry& package) {
  if (package.ExecType != kExecInstaller && package.ExecType != kExecCommand) return PackageOutcome::kDownloadOnly;
  const std::wstring packagePath = PackageFilePath(r.run.Paths.WorkFolder, package);  // where it was downloaded
  // Held since its check, the file cannot change on Windows; the simulated
  // machine knows no sharing modes, so a change is looked for before the run.
  if (!(package.File && package.File->Unchanged())) {
    LogErrors({L"以下のパッケージは確認の後に変更されたため、実行しません。", packagePath});
    return PackageOutcome::kFailed;
  }
  if (package.ExecType == kExecInstaller) return RunInstallerPackage(r, package, packagePath);
  return RunCommandPackage(r, package);
}

// True when the installation as a whole succeeded.
bool RunEveryPackage(PackageRun& packageRun) {
  Log().Info(L"パッケージのインストールを行います。");
  packageRun.installerLog = JoinPath(packageRun.run.Paths.WorkFolder, kInstallerVerboseLogName);
  bool overall = true;
  int32_t installed = 0;
  for (const PackageEntry& package : packageRun.packages) {
    if (!package.Verified) continue;
    packageRun.detail = 0;
    switch (RunPackage(packageRun, package)) {
      case PackageOutcome::kInstalled:
        overall = true;
        ++installed;
        break;
      case PackageOutcome::kNoCommand:
        overall = true;
        break;
      case PackageOutcome::kDownloadOnly:
        break;
      case PackageOutcome::kNotExecuted:
        overall = false;
        [[fallthrough]];
      case PackageOutcome::kFailed:
        // The one skip rule: a failed package ends the installation unless it allows the next one to go on.
        if (!SkipFailedPackage(package)) return false;
        break;
    }
  }
  if (overall && installed == 0) {
    Log().Info(L"このコンピューターに適用するパッケージがないため、何もインストールしませんでした。");
    packageRun.run.Result.NothingInstalled = true;
  }
  return overall;
}

}  // namespace

InstallVerdict InstallPackages(const InstallRun& run, const std::vector<PackageEntry>& packages,
                               InstallStepSink& sink, WaitClock& clock) {
  PackageRun packageRun{run, packages, sink, clock};
  // Out of memory, the packages run until then still tell how it failed.
  constexpr bool kInstallationFailed = false;
  const bool installed = RunStep([&] { return RunEveryPackage(packageRun); }, kInstallationFailed);
  const InstallOutcome outcome = installed                 ? InstallOutcome::Success
                                 : packageRun.notExecuted ? InstallOutcome::NotExecuted
                                                          : InstallOutcome::Failure;
  return {outcome, packageRun.detail, packageRun.detailIsLogClass};
}

int32_t RunLocalInstall(const InstallRun& run, InstallStepSink& sink, WaitClock& clock, int32_t& detail) {
  Log().Info(L"ローカルインストールを行います。");
  sink.SendStep(InstallStep::kInstalling);
  int32_t result = kResultInstallerFailed;

  const LocalInstallFiles files = LocalInstallFilesFor(run.Settings.ProductType, IsWindows64Bit());
  const std::wstring installer = BesideLauncher(run.Paths, files.installer);
  const std::wstring configuration = BesideLauncher(run.Paths, files.configuration);
  const std::wstring distribution = BesideLauncher(run.Paths, files.distribution);
  const std::wstring installerLog = JoinPath(run.Paths.WorkFolder, kInstallerVerboseLogName);
  const std::wstring command =
      IsMsiPackage(FileNameOf(installer))
          ? LocalMsiCommand(platform::GetNativeSystemFolder(), installer, configuration, installerLog, distribution)
          : DirectCommand(installer);
  Log().Info(L"以下のコマンドを実行します。");
  Log().Info(command);

  // A release build installs only what the vendor signed, held from its check
  // to the installer's end: the launcher's folder is open to the user's processes.
  platform::HeldFile held;
  bool trusted = true;
  if (!trust::PinnedSignerKeys().empty() && platform::FileExists(installer)) {
    if (!held.Open(installer)) {
      LogErrors({L"以下のプログラムを開けないため、実行しません。", installer});
      trusted = false;
    } else {
      trusted = trust::VendorSignatureAccepted(held) && StartedByItsOwnPath(held);
    }
    if (!trusted) result = kResultHashMismatch;
  }
  if (trusted && platform::FileExists(installer) && InstallerMayStart(run, clock, detail)) {
    sink.SetInstallStartTime(platform::UnixTimeNow());
    if (!RunToItsEnd(command, &detail)) {
      LogErrors({L"プログラムの実行に失敗しました。", command});
    } else {
      // The one installer of a local install has none before it.
      constexpr bool kNoEarlierNotExecuted = false;
      const InstallVerdict verdict =
          DetermineInstallOutcome(run, sink.InstallStartTime(), detail, kNoEarlierNotExecuted);
      detail = verdict.detail;
      switch (verdict.outcome) {
        case InstallOutcome::NotExecuted:
          Log().Info(L"プログラムの実行をキャンセルしました");
          result = kResultNotExecuted;
          break;
        case InstallOutcome::Success:
          Log().Info(L"プログラムの実行に成功しました。");
          result = kResultSuccess;
          break;
        case InstallOutcome::Failure:
          result = verdict.detailIsLogClass ? kResultInstallerLogFailure : kResultInstallerFailed;
          Log().Error(L"プログラムの実行に失敗しました（戻り値エラー）。");
          break;
      }
    }
  }
  sink.SendStep(InstallStep::kInstalled);
  return result;
}

namespace {

// An earlier copy of a Windows Installer log: "=== Verbose logging" in its
// code page or in UTF-16LE with or without the byte-order mark.
bool IsInstallerLogStart(const std::string& head) {
  const std::string ansi = "=== Verbose logging";
  std::string wide;
  for (char c : ansi) wide += std::string{c, '\0'};
  for (const std::string& start : {ansi, wide, "\xFF\xFE" + wide}) {
    if (head.compare(0, start.size(), start) == 0) return true;
  }
  return false;
}

}  // namespace

bool CopyInstallerLogForUser(const WorkingPaths& paths) {
  // The copy's name is resolved once, through the held folder of the debug
  // log, never through a link; a file there that is no earlier copy of an
  // installer log is left as it was.
  platform::HeldFolder folder;
  platform::File source;
  platform::File copy;
  const std::wstring& target = paths.InstallerLogPath;
  if (!source.Open(JoinPath(paths.WorkFolder, kInstallerVerboseLogName), platform::File::Mode::ReadOwnFile) ||
      !folder.Open(ParentFolder(target)) || !folder.OpenFile(FileNameOf(target), platform::File::Mode::Append, &copy)) {
    return false;
  }
  uint64_t size = 0;
  std::vector<char> buffer(64 * 1024);
  size_t got = 0;
  if (!copy.Size(&size) || (size > 0 && (!copy.Read(buffer.data(), 64, &got) ||
                                         !IsInstallerLogStart(std::string(buffer.data(), got))))) {
    platform::SetLastError(platform::kErrorAccessDenied);
    return false;
  }
  if (!copy.Truncate()) return false;
  for (;;) {
    if (!source.Read(buffer.data(), buffer.size(), &got)) return false;
    if (got == 0) break;
    if (!copy.Write(buffer.data(), got)) return false;
  }
  return copy.Close();
}
