#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "config/launch_settings.h"
#include "config/notification_item.h"

// The run state of the launcher: created once when the process starts, filled
// along the start-up sequence and never reset. Workers read the settings and
// paths, which nobody changes while they run; the fields a worker writes are
// read by the user-interface thread only after the worker's final message.
struct LauncherContext {
  LaunchSettings Settings;

  // Run state.
  int32_t NotificationVersion = 0;
  int32_t NotificationCount = 0;
  int32_t ResultCode = 0;
  int32_t ResultDetail = 0;
  std::wstring InstallerMessage;
  bool NoUpdate = false;
  bool SkipNotices = false;
  int32_t StartPage = 0;
  std::vector<std::wstring> DetectedConflictNames;
  bool SecurityCenterConflict = false;

  // Working paths; folders end with a separator.
  std::wstring WorkFolder;
  std::wstring LauncherFolder;
  std::wstring DebugLogPath;
  std::wstring LaunchSettingsPath;
  std::wstring SourceSettingsPath;
  std::wstring NotificationPath;
  std::wstring DownloadConfigPath;

  // Set by the self-update when it brought a newer settings file.
  bool LaunchSettingsUpdated = false;
  // Set by the self-update when it started the newer launcher, which takes over.
  bool NewLauncherStarted = false;

  // Wizard fields.
  bool CompletionInFrame = false;
  bool InstallInProgress = false;
  bool CloseLatch = false;
  std::wstring MessageCaption;

  std::vector<NotificationItem> NoticeItems;
};
