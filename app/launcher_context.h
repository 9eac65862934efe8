#pragma once
#include <cstdint>
#include <vector>

#include "base/run_result.h"
#include "base/working_paths.h"
#include "config/launch_settings.h"
#include "platform/held_file.h"

// The run state of the launcher: created once when the process starts, filled
// along the start-up sequence and never reset. The steps below app/ are given
// only the parts they use: the settings, the working paths, the run result.
// Workers read the settings and paths, which nobody changes while they run;
// the result a worker writes is read by the user-interface thread only after
// the worker's final message.
struct LauncherContext : WorkingPaths, RunResult {
  LaunchSettings Settings;

  int32_t NotificationVersion = 0;
  int32_t NotificationCount = 0;
  bool NoUpdate = false;
  bool SkipNotices = false;
  int32_t StartPage = 0;

  // Set by the self-update when it brought a newer settings file.
  bool LaunchSettingsUpdated = false;
  // Set by the self-update when it started the newer launcher, which takes over.
  bool NewLauncherStarted = false;
  // The files a newer launcher is handed (itself, its settings, notices and
  // version file), held from their download until this launcher ends; the
  // newer launcher holds them in turn before it ends this one.
  std::vector<platform::HeldFile> HeldFiles;
};
