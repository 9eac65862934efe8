#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "base/run_result.h"
#include "base/working_paths.h"
#include "config/launch_settings.h"
#include "platform/held_file.h"
#include "platform/named_objects.h"
#include "platform/run_process.h"

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
  // "/quiet" and its other spellings: the whole run without a window, a box
  // or a screen; its outcome is the process exit code.
  bool Silent = false;
  // "/passive" (also "/qb", "/qr"): a silent run that shows its windows: the
  // start-up dialog, the progress and a completion page that closes by itself.
  // Silent is set too, for everything but the windows.
  bool Passive = false;
  // "/noupdate": no self-update, and nothing else skipped.
  bool SkipSelfUpdate = false;
  // "/?": the usage is shown, and nothing done.
  bool ShowUsage = false;
  // "/log <path>": the debug log's file, in place of the temporary folder's.
  std::wstring LogPath;
  // "/proxy <address>": the proxy of this run.
  std::wstring Proxy;
  // The whole command line as the log shows it (CommandLineForLog).
  std::wstring CommandLineText;
  // The arguments the launcher does not know, in order.
  std::vector<std::wstring> UnknownArguments;
  // "/O" with its path was given: started by a launcher that replaced itself.
  bool StartedBySourceLauncher = false;
  // The process id that launcher handed over ("/SourcePid:<id>", or
  // "/O:<id>" of earlier launchers); 0 from launchers that hand over none.
  uint32_t SourceProcessId = 0;
  bool SkipNotices = false;
  int32_t StartPage = 0;

  // Set by the self-update when it brought a newer settings file.
  bool LaunchSettingsUpdated = false;
  // Set by the self-update when it started the newer launcher, which takes
  // over; the process is kept to be waited for.
  bool NewLauncherStarted = false;
  // The files a newer launcher is handed (itself, its settings, notices and
  // version file), held from their download until this launcher ends; the
  // newer launcher holds them in turn before it ends this one.
  std::vector<platform::HeldFile> HeldFiles;
  std::shared_ptr<platform::StartedProcess> NewLauncher;
  // In a silent run: the event the newer launcher sets once it has taken over.
  std::shared_ptr<platform::AdminEvent> HandOver;
  // The process exit code: 0 unless the run is silent.
  int32_t ExitCode = 0;
};
