#pragma once
#include <cstdint>
#include <string>

#include "base/error_box.h"
#include "app/launcher_context.h"
#include "platform/named_objects.h"

// The application object: its InitInstance is the whole life of the launcher.
class CSetupApp {
 public:
  // Runs the start-up sequence and the wizard; returns false (no message loop
  // follows), as the process then simply ends.
  bool InitInstance();

  LauncherContext& Context() { return context_; }
  // The process exit code: 0, or the outcome of a silent run (base/exit_codes.h).
  int ExitCode() const { return context_.ExitCode; }

 private:
  // False when the run ends at its command line: the usage, or an unknown switch of a silent run.
  bool AcceptCommandLine();
  // False when another launcher runs; step 5 for a launcher that took over.
  bool ClaimTheRun();
  // Steps 7 to 11 of the start-up: the start-up dialog and what follows it.
  void RunStartupSteps(bool* failed, bool* handedOver, std::wstring* pendingText);
  // True when the newer launcher took the run over.
  bool WaitForNewLauncher();
  static constexpr uint32_t kHandOverWaitMs = 30000;
  // Steps 12 to 16: the survey, the checks before the wizard and the wizard.
  void RunWizardSteps(bool* failed, std::wstring* pendingText);

  LauncherContext context_;
  // Held for the whole run: the sign that a launcher runs on this machine.
  platform::AdminEvent launcherObject_;
};

// The launcher whose self-update started this process, if any: only when
// started with "/O"; the parent process whose id was handed over
// ("/SourcePid:<id>"), or, from launchers that hand over none, the parent
// process running an executable of exactly the same name; in either case only
// a process created no later than this one, as a process id may have been given anew.
bool FindUpgradeSourceProcess(bool startedBySource, uint32_t handedPid, uint32_t* pid);
