#pragma once
#include <cstdint>
#include <functional>

#include "ui/wizard_controller.h"

struct RunResult;

// The dialog result of a modal run that could not be started at all.
constexpr int kDialogAbort = 3;

// Runs the wizard (the main dialog) modally until its window closes; each
// build's front end implements it (the Win32 windows, the terminal). Returns
// the dialog result, kDialogAbort when the dialog could not be run.
int RunMainDialog(const WizardRun& run, WizardController::InstallStarter starter);

// Starts the start-up worker with the start-up dialog as its target.
using InitWorkerStarter = std::function<bool(MessageSink* target)>;

// Runs the start-up dialog modally until the start-up worker's WM_INIT_DONE
// ends it. Returns kDialogOk (accepted), kDialogCancel, or kDialogAbort when
// the dialog could not be run. A failure to run it is the result's.
int RunStartupDialog(RunResult& result, InitWorkerStarter starter);
