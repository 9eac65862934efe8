#pragma once

struct LaunchSettings;
struct RunResult;
struct WorkingPaths;

// What an installation is given of the run: the settings and working paths it
// reads, and the result it writes the installer's message to. The run state
// outlives every install worker.
struct InstallRun {
  const LaunchSettings& Settings;
  const WorkingPaths& Paths;
  RunResult& Result;
  // A silent run: before each installer it waits, for a bounded time, while
  // another installation keeps the Windows Installer busy.
  bool WaitForBusyInstaller = false;
};
