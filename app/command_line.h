#pragma once
#include <string>
#include <vector>

struct LauncherContext;

// Applies the switches of the argument list (the program path first):
//   "/N" and "/O <path>" (exact), as launchers that replace themselves pass
//   them; "/O:<id> <path>" of earlier launchers; "/SourcePid:<id>";
//   and those of administrators, with "/" or "-", in any case: "/quiet" (also
//   "/q", "/qn", "/silent", "/verysilent", "/s"), "/passive" (also "/qb",
//   "/qr"), "/norestart", "/noupdate",
//   "/log <path>", "/proxy <address>" (also "/log=<path>" or "/log:<path>"),
//   "/?" (also "/h", "/help").
// Any other argument is kept as unknown.
void ApplyArguments(const std::vector<std::wstring>& args, LauncherContext* context);
// The proxy as the log shows it: without a user name or password.
std::wstring ProxyForLog(const std::wstring& proxy);
// The argument list as the log shows it: the arguments joined by blanks, those
// with blanks quoted, the proxy's value as ProxyForLog shows it.
std::wstring CommandLineForLog(const std::vector<std::wstring>& args);
// Splits the process's own command line and applies the switches; false when
// the command line cannot be split (no switch is then set).
bool ParseArguments(LauncherContext* context);
// Works out the paths of the user's temporary folder, the launcher's folder
// and their files; false when either folder cannot be obtained.
bool LoadCommonData(LauncherContext* context);
// The debug log's file, and the Windows Installer's verbose log beside it.
void SetLogPaths(LauncherContext* context, const std::wstring& debugLogPath);
// The debug log's file in the temporary folder.
std::wstring DefaultDebugLogPath(const LauncherContext& context);
std::wstring GetTempFolder();
std::wstring GetLauncherFolder();
