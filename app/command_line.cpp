#include "app/command_line.h"

#include "app/launcher_context.h"
#include "base/paths.h"
#include "platform/folders.h"
#include "platform/process.h"

std::wstring GetOptionValue(const std::vector<std::wstring>& args, const std::wstring& option, size_t offset) {
  std::wstring value;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == option && i + offset < args.size()) value = args[i + offset];
  }
  return value;
}

void ApplyArguments(const std::vector<std::wstring>& args, LauncherContext* context) {
  for (const auto& arg : args) {
    if (arg == L"/N") context->NoUpdate = true;
  }
  context->SourceSettingsPath = GetOptionValue(args, L"/O", 1);
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
  context->WorkFolder = GetTempFolder();
  if (context->WorkFolder.empty()) return false;
  context->WorkFolder = EnsureTrailingSeparator(context->WorkFolder);
  context->DownloadConfigPath = context->WorkFolder + L"DownloadConfig.xml";
  context->LauncherFolder = GetLauncherFolder();
  if (context->LauncherFolder.empty()) return false;
  context->LauncherFolder = EnsureTrailingSeparator(context->LauncherFolder);
  context->LaunchSettingsPath = context->LauncherFolder + L"SetupLauncherV2.xml";
  if (context->SourceSettingsPath.empty()) context->SourceSettingsPath = context->LaunchSettingsPath;
  context->NotificationPath = context->LauncherFolder + L"SetupNotification.xml";
  context->DebugLogPath = context->WorkFolder + L"TAVODebugLog.txt";
  return true;
}
