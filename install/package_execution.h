#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "install/install_result.h"
#include "install/install_step.h"

struct InstallRun;
struct WorkingPaths;
struct PackageEntry;
class WaitClock;

// What running the installers reports to the install worker that runs them.
class InstallStepSink {
 public:
  virtual ~InstallStepSink() = default;
  // WM_INSTALL_STEP with the step, to the worker's window.
  virtual void SendStep(InstallStep step) = 0;
  // Seconds since 1970 (UTC), taken just before each installer is started;
  // only event-log records written at or after it count.
  virtual void SetInstallStartTime(int64_t time) = 0;
  virtual int64_t InstallStartTime() const = 0;
};

// The Windows Installer's verbose log beside the debug log, named on its command line.
extern const wchar_t kInstallerVerboseLogName[];
// How long a silent run waits for the Windows Installer to be free before an
// installer, and how often it looks.
constexpr uint32_t kBusyInstallerWaitMs = 10 * 60 * 1000;
constexpr uint32_t kBusyInstallerStepMs = 1000;
// The product's distribution file beside an installer.
extern const wchar_t kDistributionFileName[];

// The files of a local install, relative to the launcher's folder.
struct LocalInstallFiles {
  std::wstring installer;
  std::wstring configuration;
  std::wstring distribution;
};
// The edition's installer, chosen by ProductType and the Windows architecture.
LocalInstallFiles LocalInstallFilesFor(int32_t productType, bool windows64);

// An installer file is a Windows Installer package when its extension is
// exactly "msi" (case-sensitive: "setup.MSI" runs itself).
bool IsMsiPackage(const std::wstring& fileName);

// The command lines of the installers, every path quoted by the rules of
// CommandLineToArgvW; empty when a program path holds a quote and so cannot
// be written. systemFolder may end with a separator.
std::wstring NetworkMsiCommand(const std::wstring& systemFolder, const std::wstring& packagePath,
                               const std::wstring& installerLog, const std::wstring& distributionPath);
std::wstring LocalMsiCommand(const std::wstring& systemFolder, const std::wstring& installerPath,
                             const std::wstring& configurationPath, const std::wstring& installerLog,
                             const std::wstring& distributionPath);
std::wstring DirectCommand(const std::wstring& filePath);

// The verified package of this run whose file an ExecType 2 command starts:
// its program, as the system reads it from the command line, is that file's
// full path, with an extension, so that no search and no guessed name can
// start another program. Null when the command starts anything else.
const PackageEntry* PackageStartedBy(const std::wstring& command, const std::vector<PackageEntry>& packages,
                                     const std::wstring& workFolder);

// The Windows Installer runs one installation at a time, and holds its mutex
// "_MSIExecute" meanwhile. True at once when it is free; else waits, with log
// lines, until it is, or false after kBusyInstallerWaitMs.
bool WaitForIdleWindowsInstaller(WaitClock& clock);

// Runs every verified package of the list in order (network install); a
// failed package ends the installation unless its ErrorSkip lets the next
// one go on. The verdict is a success when the installation as a whole
// succeeded; a failure is NotExecuted when an installer of the run left no
// trace, and has the last package's detail, a log class once any installer's
// log told why it failed. An installer not started because the Windows
// Installer stayed busy fails with the detail 1618, as it would have ended
// itself. Running out of memory ends the installation as a failure.
InstallVerdict InstallPackages(const InstallRun& run, const std::vector<PackageEntry>& packages,
                               InstallStepSink& sink, WaitClock& clock);

// Runs the edition's installer beside the launcher; sends the steps
// kInstalling and kInstalled.
// Returns 1, 7, 8 or 15, with detail set for 7 (exit code), 8 (log class)
// and 15 (-1); 9 when a release build finds no vendor signature on it.
int32_t RunLocalInstall(const InstallRun& run, InstallStepSink& sink, WaitClock& clock, int32_t& detail);

// Copies the Windows Installer's log of this run from the working folder to
// the folder of the debug log (the user's temporary folder, or the one "/log"
// names), where support staff and administrators look. False when there is
// none or it cannot be copied.
bool CopyInstallerLogForUser(const WorkingPaths& paths);
