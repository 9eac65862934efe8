#include "install/package_execution.h"

#include <vector>

#include "base/debug_log.h"
#include "base/editions.h"
#include "base/paths.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "base/working_paths.h"
#include "config/download_config.h"
#include "config/launch_settings.h"
#include "env/os_detection.h"
#include "install/install_result.h"
#include "install/install_run.h"
#include "net/package_download.h"
#include "platform/clock.h"
#include "platform/cmdline_split.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/held_file.h"
#include "platform/run_process.h"

const wchar_t kInstallerVerboseLogName[] = L"TAVOInstallLog.txt";
const wchar_t kDistributionFileName[] = L"dpkg.xml";

namespace {

constexpr int32_t kExecInstaller = 1;
constexpr int32_t kExecCommand = 2;

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

// Error entries of one failure all carry the error that caused it.
void LogErrorPair(const std::wstring& line, const std::wstring& value) {
  const uint32_t error = platform::LastError();
  Log().Error(line);
  platform::SetLastError(error);
  Log().Error(value);
  platform::SetLastError(error);
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
  return MsiCommand(systemFolder, FormatText(L" /i %ls /qn REBOOT=ReallySuppress /l*v %ls IGNORE_CONFLICTS=1  "
                                             L"DISTRIBUTION_PACKAGE=%ls",
                                             QuoteWindowsArgument(packagePath).c_str(),
                                             QuoteWindowsArgument(installerLog).c_str(),
                                             QuoteWindowsArgument(distributionPath).c_str()));
}

std::wstring LocalMsiCommand(const std::wstring& systemFolder, const std::wstring& installerPath,
                             const std::wstring& configurationPath, const std::wstring& installerLog,
                             const std::wstring& distributionPath) {
  using platform::QuoteWindowsArgument;
  return MsiCommand(systemFolder, FormatText(L" /i %ls /qn REBOOT=ReallySuppress ADMINCFG=%ls /l*v %ls "
                                             L"IGNORE_CONFLICTS=1 DISTRIBUTION_PACKAGE=%ls",
                                             QuoteWindowsArgument(installerPath).c_str(),
                                             QuoteWindowsArgument(configurationPath).c_str(),
                                             QuoteWindowsArgument(installerLog).c_str(),
                                             QuoteWindowsArgument(distributionPath).c_str()));
}

std::wstring DirectCommand(const std::wstring& filePath) { return platform::QuoteWindowsProgram(filePath); }

bool InstallPackages(const InstallRun& run, const std::vector<PackageEntry>& packages, InstallStepSink& sink,
                     int32_t& detail, bool* logClass, bool* notExecuted) {
  Log().Info(L"パッケージのインストールを行います。");
  bool overall = true;
  const std::wstring installerLog = JoinPath(run.Paths.WorkFolder, kInstallerVerboseLogName);
  for (const PackageEntry& package : packages) {
    if (!package.Verified) continue;
    detail = 0;
    const std::wstring packagePath = PackageDownloadPath(run.Paths.WorkFolder, package);  // where it was downloaded
    // Held since its check, the file cannot change on Windows; the simulated
    // machine knows no sharing modes, so a change is looked for before the run.
    const bool runs = package.ExecType == kExecInstaller || package.ExecType == kExecCommand;
    if (runs && !(package.File && package.File->Unchanged())) {
      LogErrorPair(L"以下のパッケージは確認の後に変更されたため、実行しません。", packagePath);
      if (SkipFailedPackage(package)) continue;
      return false;
    }
    if (package.ExecType == kExecInstaller) {
      sink.SetInstallStartTime(platform::UnixTimeNow());
      // The Windows Installer of the system's own width: under WoW64 the
      // system folder would give the 32-bit one.
      const std::wstring systemFolder = platform::GetNativeSystemFolder();
      if (systemFolder.empty()) continue;
      const std::wstring command =
          IsMsiPackage(package.PackageFileName)
              ? NetworkMsiCommand(systemFolder, packagePath, installerLog,
                                  JoinPath(run.Paths.WorkFolder, kDistributionFileName))
              : DirectCommand(packagePath);
      Log().Info(L"以下のインストールコマンドを実行します。");
      Log().Info(command);
      if (!platform::RunProcess(nullptr, command, L"", true, true, platform::kInfiniteWait, &detail)) {
        Log().Error(L"インストールの実行に失敗しました。");
        if (SkipFailedPackage(package)) continue;
        return false;
      }
      switch (DetermineInstallOutcome(run, sink.InstallStartTime(), &detail, logClass, notExecuted)) {
        case InstallOutcome::Success:
          Log().Info(L"インストールの実行処理（成功）");
          overall = true;
          continue;
        case InstallOutcome::NotExecuted:
          overall = false;
          Log().Info(L"プログラムの実行をキャンセルしました。");
          break;
        case InstallOutcome::Failure:
          break;
      }
      Log().Error(L"インストールの実行に失敗しました（戻り値エラー）。");
      if (SkipFailedPackage(package)) continue;
      return false;
    }
    if (package.ExecType == kExecCommand) {
      const std::wstring command = ExpandPathMacros(package.ExecCommand);
      if (command.empty()) {
        overall = true;
        continue;
      }
      Log().Info(L"以下のコマンドを実行します。");
      Log().Info(command);
      if (!platform::RunProcess(nullptr, command, L"", true, true, platform::kInfiniteWait, &detail)) {
        Log().Error(L"プログラムの実行に失敗しました。");
        if (SkipFailedPackage(package)) continue;
        return false;
      }
      if (detail == package.ExecSuccessCode) {
        Log().Info(L"インストールの実行処理（成功）");
        overall = true;
        continue;
      }
      Log().Error(L"プログラムの実行に失敗しました（エラー値）。");
      if (SkipFailedPackage(package)) continue;
      return false;
    }
    // Any other ExecType is only downloaded.
  }
  return overall;
}

int32_t RunLocalInstall(const InstallRun& run, InstallStepSink& sink, int32_t& detail) {
  Log().Info(L"ローカルインストールを行います。");
  sink.SendStep(9);
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

  if (platform::FileExists(installer)) {
    sink.SetInstallStartTime(platform::UnixTimeNow());
    if (!platform::RunProcess(nullptr, command, L"", true, true, platform::kInfiniteWait, &detail)) {
      LogErrorPair(L"プログラムの実行に失敗しました。", command);
    } else {
      bool logClass = false;
      bool notExecuted = false;
      switch (DetermineInstallOutcome(run, sink.InstallStartTime(), &detail, &logClass, &notExecuted)) {
        case InstallOutcome::NotExecuted:
          Log().Info(L"プログラムの実行をキャンセルしました");
          detail = -1;
          result = kResultNotExecuted;
          break;
        case InstallOutcome::Success:
          Log().Info(L"プログラムの実行に成功しました。");
          result = kResultSuccess;
          break;
        case InstallOutcome::Failure:
          result = logClass ? kResultInstallerLogFailure : kResultInstallerFailed;
          Log().Error(L"プログラムの実行に失敗しました（戻り値エラー）。");
          break;
      }
    }
  }
  sink.SendStep(10);
  return result;
}

bool CopyInstallerLogForUser(const WorkingPaths& paths) {
  // Nothing is made through a link on the way to the user's folder.
  platform::HeldFolder folder;
  platform::File source;
  platform::File copy;
  const std::wstring target = JoinPath(paths.UserTempFolder, kInstallerVerboseLogName);
  if (!source.Open(JoinPath(paths.WorkFolder, kInstallerVerboseLogName), platform::File::Mode::ReadOwnFile) ||
      !folder.Open(paths.UserTempFolder) || !copy.Open(target, platform::File::Mode::CreateWrite) ||
      !copy.IsAt(target)) {
    return false;
  }
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    size_t got = 0;
    if (!source.Read(buffer.data(), buffer.size(), &got)) return false;
    if (got == 0) break;
    if (!copy.Write(buffer.data(), got)) return false;
  }
  return copy.Close();
}
