#pragma once
#include <string>

// Where the launcher works; set once at start-up, read by every step. Folders
// end with a separator.
struct WorkingPaths {
  std::wstring WorkFolder;      // the temporary folder: downloads, side files, the debug log
  std::wstring LauncherFolder;  // the folder of the running Setup.exe
  std::wstring DebugLogPath;
  std::wstring InstallerLogPath;  // the Windows Installer's verbose log, beside the debug log
  std::wstring LaunchSettingsPath;
  std::wstring SourceSettingsPath;
  std::wstring NotificationPath;
  std::wstring DownloadConfigPath;
};
