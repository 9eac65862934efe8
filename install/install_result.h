#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "base/result_codes.h"

struct LaunchSettings;
struct InstallRun;

// Classes of the product installer's own log (ClassifyInstallerLog); for
// result 8 the class is the detail the completion page explains.
constexpr int32_t kLogClassNone = -1;           // no log file, or an empty one
constexpr int32_t kLogClassReturned0 = 0;       // the installer returned 0 or 3010
constexpr int32_t kLogClass1601 = 1;            // Windows Installer service failure
constexpr int32_t kLogClass1603 = 2;            // 1603 without a known cause
constexpr int32_t kLogClassServiceStop = 4;     // 1603: the TAVO service could not be stopped
constexpr int32_t kLogClassServiceDelete = 5;   // 1603: the TAVO service could not be deleted
constexpr int32_t kLogClass1618 = kInstallerBusyLogClass;  // another installation was running
constexpr int32_t kLogClassUnknown = 99;        // none of the known lines

// The outcome of one installer run.
enum class InstallOutcome { Success, Failure, NotExecuted };

// How an installation ended, with the detail the completion page explains.
struct InstallVerdict {
  InstallOutcome outcome = InstallOutcome::Failure;
  // The exit code of the installer or command run last; the class of the
  // installer's log when detailIsLogClass; -1 when it was not executed.
  int32_t detail = 0;
  // The installer's log told why it failed (result 8).
  bool detailIsLogClass = false;
};

// The folder under the work folder where the product installer keeps its logs.
extern const wchar_t kInstallerLogFolderName[];

// Decides the outcome of one installer run that ended, from the Windows
// Installer's event-log record (the authoritative exit code; without one the
// run counts as not executed), the product installer's log and the process's
// exit code; sets the result's InstallerMessage from the log. A failure after
// an earlier installer of the same run was not executed keeps that verdict:
// its log class is not taken.
InstallVerdict DetermineInstallOutcome(const InstallRun& run, int64_t startTime, int32_t exitCode,
                                       bool earlierNotExecuted);

// Searches the Application event log, newest first, for the Windows
// Installer's record of this edition written at or after startTime; true when
// it was found, and then *exitCode is the record's status (kept when the
// record carries no status).
bool ReadExitCodeFromEventLog(const LaunchSettings& settings, int64_t startTime, int32_t* exitCode);

// The product installer's log in folder: the last name in byte order (the
// newest, as the names carry their time) that contains "liveinstaller_" and
// ".log" but not "callback"; empty when none.
std::wstring FindInstallerLogFile(const std::wstring& folder);

// The class of an installer log (the constants above).
int32_t ClassifyInstallerLog(const std::wstring& path);
int32_t ClassifyInstallerLog(const std::vector<std::wstring>& lines);

// The error numbers named in the failing action of an installer log, other
// than code itself, as " [n1, n2, n3, ...]"; empty when there are none.
std::wstring ExtractInstallerErrorNumbers(const std::wstring& path, int32_t code);
std::wstring ExtractInstallerErrorNumbers(const std::vector<std::wstring>& lines, int32_t code);

// The lines of a UTF-16 text file (a byte-order mark is skipped; a UTF-8 mark
// selects UTF-8). An unreadable file has no lines.
std::vector<std::wstring> ReadLogLines(const std::wstring& path);
// The lines of such a file's bytes.
std::vector<std::wstring> LogLines(std::string bytes);
