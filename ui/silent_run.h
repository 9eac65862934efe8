#pragma once
#include "ui/front_end.h"

// A silent run ("/quiet") takes the steps the windows take, with no window, no
// message box and no screen; the debug log tells what happened.

// From now on every message box of the process is answered at once, unshown:
// a question with No, which leaves the machine as it is; any other box with OK.
void SuppressMessageBoxes();

// The start-up worker without the start-up dialog; returns as RunStartupDialog.
int RunSilentStartup(RunResult& result, InitWorkerStarter starter);

// The wizard's decisions without a window: the notices count as read, the
// installation runs, and the run ends where the completion page or the error
// screen would show, or where the launcher would close. Returns the result of
// a wizard that was closed.
int RunSilentWizard(const WizardRun& run, WizardController::InstallStarter starter);
