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
[[nodiscard]] bool SnapshotProcesses(std::vector<ProcessEntry>* processes);
// When the process was created, in units that order the processes of the
// machine by their creation, as finely as the system's clock ticks: a child
// started at once may share its parent's time. False when it cannot be read.
[[nodiscard]] bool ProcessCreationTime(uint32_t pid, uint64_t* time);
// Opens the process with all access rights and terminates it, but only when
// it was created no later than `latest` (a ProcessCreationTime): a process id
// that a later process has taken over meanwhile ends nothing.
bool TerminateProcessCreatedBy(uint32_t pid, uint64_t latest, uint32_t exitCode);

// The process's own arguments, the program path first, as the system splits
// its command line. False when the command line cannot be split.
[[nodiscard]] bool GetProcessArguments(std::vector<std::wstring>* args);

}  // namespace platform
