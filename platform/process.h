#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
  uint32_t pid = 0;
  uint32_t parentPid = 0;
  std::wstring exeName;  // file name of the executable, without folder
};

uint32_t CurrentProcessId();
// A snapshot of all processes; false when it cannot be taken.
bool SnapshotProcesses(std::vector<ProcessEntry>* processes);
// Opens the process with all access rights and terminates it.
bool TerminateProcessById(uint32_t pid, uint32_t exitCode);

// The process's own arguments, the program path first, as the system splits
// its command line. False when the command line cannot be split.
bool GetProcessArguments(std::vector<std::wstring>* args);

}  // namespace platform
