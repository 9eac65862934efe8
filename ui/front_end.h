#pragma once
#include <cstdint>
#include <functional>

#include "ui/wizard_controller.h"

struct LauncherContext;

// The dialog result of a modal run that could not be started at all.
constexpr int kDialogAbort = 3;

// Runs the wizard (the main dialog) modally until its window closes; each
// build's front end implements it (the Win32 windows, the terminal). Returns
// the dialog result, kDialogAbort when the dialog could not be run.
int RunMainDialog(LauncherContext& context, WizardController::InstallStarter starter);

// Starts the start-up worker with the start-up dialog as its target.
using InitWorkerStarter = std::function<bool(LauncherContext& context, MessageSink* target)>;

// Runs the start-up dialog modally until the start-up worker's WM_INIT_DONE
// ends it. Returns kDialogOk (accepted), kDialogCancel, or kDialogAbort when
// the dialog could not be run.
int RunStartupDialog(LauncherContext& context, InitWorkerStarter starter);
