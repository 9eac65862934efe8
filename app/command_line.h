#pragma once
#include <string>
#include <vector>

struct LauncherContext;

// Applies "/N", "/quiet" (or "/q", either case), and "/O <path>" or
// "/O:<process id> <path>" from the given argument list.
void ApplyArguments(const std::vector<std::wstring>& args, LauncherContext* context);
// Splits the process's own command line and applies the switches; false when
// the command line cannot be split (no switch is then set).
bool ParseArguments(LauncherContext* context);
// Works out the paths of the user's temporary folder, the launcher's folder
// and their files; false when either folder cannot be obtained.
bool LoadCommonData(LauncherContext* context);
std::wstring GetTempFolder();
std::wstring GetLauncherFolder();
