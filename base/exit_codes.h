#pragma once
#include <cstdint>

// The exit codes of a silent run ("/quiet"), by which deployment tools tell
// the outcome; an interactive run always exits with 0. The README has the
// table for administrators.
//
//   0                 installed; the launcher ends without a completion page
//   3010              installed; the completion page asks for a restart
//   10000             no result: the start-up failed (the error box of an
//                     interactive run; the debug log names the failure)
//   10000 x result    every other result: 20000 (2), 30000 (3), ..., 210000 (21)
//   70000 + code      result 7 with the installer's exit code 1 to 9999;
//                     70000 for any other installer code
//   80000 + class     result 8 with the class of the installer's log (0, 1, 4, 5, 7)
constexpr int32_t kExitInstalled = 0;
constexpr int32_t kExitInstalledRestart = 3010;
constexpr int32_t kExitStartupFailed = 10000;

// The exit code of a silent run that ended with the result (and its detail).
// restartAsked: a success shown on the completion page, which asks for a restart.
int32_t SilentExitCode(int32_t resultCode, int32_t resultDetail, bool restartAsked);

// True for a code that a silent run of this launcher can exit with; a crash,
// a kill or a launcher that ended before it took over gives another.
bool IsSilentExitCode(int32_t code);
