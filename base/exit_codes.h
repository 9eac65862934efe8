#pragma once
#include <cstdint>

struct RunResult;

// The exit codes of a silent run ("/quiet"), by which deployment tools tell
// the outcome; an interactive run always exits with 0. The codes that the
// Windows Installer and the management tools share keep their meaning there;
// the README has the table for administrators.
//
//   0                 installed, or the newest version already was
//   3010              installed; an installer, or the completion page, asks
//                     for a restart to complete it
//   1641              installed; an installer has started the restart that
//                     completes it
//   1618              another installation is in progress: an installer said
//                     so, the Windows Installer stayed busy past the wait, or
//                     another launcher runs
//   1639              the command line holds a switch the launcher does not
//                     know, or asks for the usage; nothing was done
//   10000             no result: the start-up failed (the error box of an
//                     interactive run; the debug log names the failure)
//   10001             nothing installed: no package of the download
//                     configuration applies to this machine
//   10000 x result    every other result: 20000 (2), 30000 (3), ..., 210000 (21)
//   70000 + code      result 7 with the installer's exit code 1 to 9999;
//                     70000 for any other installer code; also result 15
//                     when the installer that left no record ended with 1 to
//                     9999 (1618 there gives 1618)
//   80000 + class     result 8 with the class of the installer's log (0, 1, 4, 5)
constexpr int32_t kExitInstalled = 0;
constexpr int32_t kExitInstalledRestart = 3010;
constexpr int32_t kExitRestartStarted = 1641;
constexpr int32_t kExitInstallerBusy = 1618;
constexpr int32_t kExitInvalidCommandLine = 1639;
constexpr int32_t kExitStartupFailed = 10000;
constexpr int32_t kExitNothingInstalled = 10001;

// The exit code of a silent run that ended with the result.
// completionAsksRestart: a success shown on the completion page, which asks for a restart.
int32_t SilentExitCode(const RunResult& result, bool completionAsksRestart);

// True for a code that a silent run of this launcher can exit with; a crash,
// a kill or a launcher that ended before it took over gives another.
bool IsSilentExitCode(int32_t code);
