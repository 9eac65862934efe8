#include "app/command_line.h"

#include "app/launcher_context.h"
#include "base/paths.h"
#include "base/text.h"
#include "platform/folders.h"
#include "platform/process.h"

namespace {

// "/O:<id>": the "/O" of a launcher that hands over its own process id, a
// decimal number from 1 to 4294967295.
bool ParseSourceSwitch(const std::wstring& arg, uint32_t* pid) {
  if (arg.size() < 4 || arg.size() > 13 || arg.compare(0, 3, L"/O:") != 0) return false;
  uint64_t value = 0;
  for (size_t i = 3; i < arg.size(); ++i) {
    if (arg[i] < L'0' || arg[i] > L'9') return false;
    value = value * 10 + static_cast<uint64_t>(arg[i] - L'0');
  }
  if (value == 0 || value > 0xFFFFFFFFull) return false;
  *pid = static_cast<uint32_t>(value);
  return true;
}

}  // namespace

void ApplyArguments(const std::vector<std::wstring>& args, LauncherContext* context) {
  for (const auto& arg : args) {
    if (arg == L"/N") context->NoUpdate = true;
    // Deployment tools spell it either way.
    const std::wstring lower = ToLowerAscii(arg);
    if (lower == L"/quiet" || lower == L"/q") context->Silent = true;
  }
  // "/O <path>", or "/O:<id> <path>" from a launcher that hands over its process
  // id; the last one with a value counts.
  context->SourceSettingsPath.clear();
  context->StartedBySourceLauncher = false;
  context->SourceProcessId = 0;
  for (size_t i = 0; i + 1 < args.size(); ++i) {
    uint32_t pid = 0;
    if (args[i] != L"/O" && !ParseSourceSwitch(args[i], &pid)) continue;
    context->SourceSettingsPath = args[i + 1];
    context->StartedBySourceLauncher = true;
    context->SourceProcessId = pid;
  }
}

bool ParseArguments(LauncherContext* context) {
  std::vector<std::wstring> args;
  if (!platform::GetProcessArguments(&args)) return false;
  ApplyArguments(args, context);
  return true;
}

std::wstring GetTempFolder() { return platform::GetTempFolder(); }

std::wstring GetLauncherFolder() {
  std::wstring module = platform::GetModulePath();
  if (module.empty()) return std::wstring();
  return ParentFolder(module);
}

bool LoadCommonData(LauncherContext* context) {
  context->UserTempFolder = GetTempFolder();
  if (context->UserTempFolder.empty()) return false;
  context->UserTempFolder = EnsureTrailingSeparator(context->UserTempFolder);
  context->LauncherFolder = GetLauncherFolder();
  if (context->LauncherFolder.empty()) return false;
  context->LauncherFolder = EnsureTrailingSeparator(context->LauncherFolder);
  context->LaunchSettingsPath = context->LauncherFolder + L"SetupLauncherV2.xml";
  if (context->SourceSettingsPath.empty()) context->SourceSettingsPath = context->LaunchSettingsPath;
  context->NotificationPath = context->LauncherFolder + L"SetupNotification.xml";
  context->DebugLogPath = context->UserTempFolder + L"TAVODebugLog.txt";
  return true;
}
