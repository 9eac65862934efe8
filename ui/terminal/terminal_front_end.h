#pragma once
#include "ui/front_end.h"
#include "ui/wizard_controller.h"

struct RunResult;

namespace terminal {

// How the terminal front end draws.
enum class OutputStyle {
  Auto,    // full-screen with colours on a terminal; plain text when the output
           // is no terminal or TERM is "dumb"
  Plain,   // each screen as plain text, no escape sequences
  Screen,  // full-screen with colours
};

// Where the wizard reads its keys and writes its screens; RunMainDialog uses
// standard input and output, tests hand in pipes.
struct TerminalOptions {
  int inputFd = 0;
  int outputFd = 1;
  OutputStyle style = OutputStyle::Auto;
  int columns = 0;  // screen width; 0 asks the terminal (80 when it cannot say)
};

// The plain-text line that separates two screens.
extern const char kScreenSeparator[];

// Runs the wizard on the terminal until its window closes; returns the dialog
// result (kDialogAbort when it could not be run).
int RunTerminalWizard(const WizardRun& run, WizardController::InstallStarter starter,
                      const TerminalOptions& options);

// Runs the start-up dialog on the terminal until the start-up worker ends it;
// returns kDialogOk or kDialogCancel.
int RunTerminalStartupDialog(RunResult& result, InitWorkerStarter starter, const TerminalOptions& options);

}  // namespace terminal
