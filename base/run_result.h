#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What a run ends with, as the completion page tells it: the result code
// (base/result_codes.h) with its detail, and what the checks and the
// installer found on the way.
struct RunResult {
  int32_t ResultCode = 0;
  int32_t ResultDetail = 0;    // the installer's exit code (7) or the class of its log (8)
  std::wstring InstallerMessage;
  std::vector<std::wstring> DetectedConflictNames;
  bool SecurityCenterConflict = false;  // a conflict found only as a Security Center leftover
  // An installer ended with 3010: a restart completes its installation.
  bool RestartRequested = false;
  // An installer ended with 1641: it has started the restart that completes it.
  bool RestartStarted = false;
  // The exit code of the last installer that left no Windows Installer record
  // (result 15): the only word of why it did not install.
  int32_t UnrecordedExitCode = 0;
  // The network install ran nothing: no package of the configuration applies
  // to this machine.
  bool NothingInstalled = false;
};
