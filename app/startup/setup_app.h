#pragma once
#include <cstdint>
#include <string>

#include "base/error_box.h"
#include "app/launcher_context.h"

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
  // Steps 7 to 11 of the start-up: the start-up dialog and what follows it.
  void RunStartupSteps(bool* failed, bool* handedOver, std::wstring* pendingText);
  // True when the newer launcher took the run over.
  bool WaitForNewLauncher();
  static constexpr uint32_t kHandOverWaitMs = 30000;
  // Steps 12 to 16: the survey, the checks before the wizard and the wizard.
  void RunWizardSteps(bool* failed, std::wstring* pendingText);

  LauncherContext context_;
};

// The launcher whose self-update started this process, if any: only when
// started with "/O"; the parent process whose id was handed over
// ("/O:<id>"), or, from launchers that hand over none, the parent process
// running an executable of exactly the same name.
bool FindUpgradeSourceProcess(bool startedBySource, uint32_t handedPid, uint32_t* pid);
