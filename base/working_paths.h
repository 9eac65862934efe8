#pragma once
#include <string>

// Where the launcher works; set once at start-up, read by every step. Folders
// end with a separator.
struct WorkingPaths {
  // The private working folder of this run (a new launcher shares its
  // predecessor's): everything downloaded, checked, parsed or run.
  std::wstring WorkFolder;
  // The user's temporary folder: only what people look for there, the debug
  // log and a copy of the Windows Installer's log.
  std::wstring UserTempFolder;
  std::wstring LauncherFolder;  // the folder of the running Setup.exe
  // The folder of an earlier launcher that handed over with "/O" without a
  // private working folder (this launcher runs from it); empty otherwise.
  std::wstring PredecessorFolder;
  std::wstring DebugLogPath;
  std::wstring InstallerLogPath;  // the Windows Installer's verbose log, beside the debug log
  std::wstring LaunchSettingsPath;
  std::wstring SourceSettingsPath;
  std::wstring NotificationPath;
  std::wstring DownloadConfigPath;
};
