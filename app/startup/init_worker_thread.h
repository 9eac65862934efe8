#pragma once
#include <cstdint>
#include <string>

#include "base/window_messages.h"
#include "net/wait_clock.h"

struct LauncherContext;

// Outcomes and failure kinds of WM_INIT_DONE.
constexpr int32_t kInitGoOn = 0;
constexpr int32_t kInitRestart = 1;
constexpr int32_t kInitSkipped = 2;
constexpr int32_t kInitKindNone = 0;
constexpr int32_t kInitKindVersionFile = 1;
constexpr int32_t kInitKindNewerFiles = 2;
constexpr int32_t kInitKindUnsupportedOs = 3;
// WM_INIT_STEP: each step of the worker shows its status line as it begins,
// and the next one (the step's value + 1) as it ends.
constexpr int32_t kInitStepVersionFile = 1;
constexpr int32_t kInitStepVersionRead = 3;
constexpr int32_t kInitStepNewerFiles = 5;
constexpr int32_t kInitStepNewLauncher = 7;
constexpr int32_t kInitStepProgramStart = 9;

// The start-up worker: checks the operating system, reads the launcher version
// file from the download servers, fetches a newer launcher, settings file and
// notices, and starts the new launcher. It reports WM_INIT_STEP 1..10 and one
// WM_INIT_DONE (outcome, failure kind) to the start-up dialog.
class CInitWorkerThread {
 public:
  explicit CInitWorkerThread(LauncherContext& context, WaitClock& clock = SystemWaitClock());

  MessageSink* NotifyWindow = nullptr;
  std::wstring SetupLauncherURL;
  std::wstring SetupNotificationURL;
  std::wstring SetupConflictURL;
  std::wstring SetupExe;
  uint32_t LastVersion = 0;
  uint32_t SetupLauncherXMLVersion = 0;
  uint32_t SetupNotificationVersion = 0;
  int32_t RestartRequired = 0;

  // The whole job; returns the outcome.
  int32_t Run();
  bool FetchVersionFile();
  bool ReadVersionFile();
  bool UpdateLauncherFiles();
  bool StartNewLauncher();

  // Timeout of the version file download.
  static constexpr uint32_t kVersionFileTimeoutMs = 10000;
  static constexpr uint32_t kVersionFileDeadlineMs = 30000;

 private:
  // An installation from local files (InstallType other than 0) has no
  // self-update: the dialog shows its last lines and goes on.
  int32_t GoOnWithoutSelfUpdate();
  // The version file, what it announces, then the newer launcher; the first
  // step that fails ends the self-update. Returns the failure kind the dialog
  // turns into a result (none also when the version file could not be read).
  int32_t UpdateTheLauncher();
  // One step as the dialog shows it: its line as it begins and ends, whatever
  // the outcome; a failure is logged.
  bool ShowStep(const wchar_t* starting, int32_t step, bool (CInitWorkerThread::*work)(), const wchar_t* failed);
  int32_t ReportUpdateDone(int32_t failureKind);
  void Send(uint32_t message, uintptr_t wParam, intptr_t lParam);
  LauncherContext& ctx_;
  WaitClock& clock_;
};

// Starts a worker for the start-up dialog on a thread of its own; the object
// deletes itself when its work is done. False when it could not be started.
bool StartInitWorkerThread(LauncherContext& context, MessageSink* notifyWindow);

// The event a silent launcher makes before it starts its newer launcher, which
// sets it once it has taken over; named after the first launcher's process id.
std::wstring HandOverEventName(uint32_t sourcePid);
