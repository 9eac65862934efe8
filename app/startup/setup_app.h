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

 private:
  // Steps 7 to 11 of the start-up: the start-up dialog and what follows it.
  void RunStartupSteps(bool* failed, bool* handedOver, std::wstring* pendingText);
  void WaitForNewLauncher();
  static constexpr int kHandOverWaitMs = 30000;
  // Steps 12 to 16: the survey, the checks before the wizard and the wizard.
  void RunWizardSteps(bool* failed, std::wstring* pendingText);

  LauncherContext context_;
};

// The launcher whose self-update started this process, if any: the parent
// process running an executable of exactly the same name.
bool FindUpgradeSourceProcess(uint32_t* pid);
