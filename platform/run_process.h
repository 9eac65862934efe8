#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Wait without a time limit.
constexpr uint32_t kInfiniteWait = 0xFFFFFFFF;
// The exit code a process reports while it still runs (STILL_ACTIVE).
constexpr int32_t kStillActive = 259;

// Programs started from now on run in this folder (the private working
// folder), with the machine's environment (never the user's nor the
// launcher's own) and TEMP and TMP naming the folder, so that an installer
// writes and reads its own files where no process of the user reaches.
// Empty: the launcher's own environment and current folder.
void SetProgramTempFolder(const std::wstring& folder);

// Starts a program from a Windows command line: no application name, the whole
// command line (followed by one blank and `arguments` when those are not
// empty), no inherited handles, no creation flags. showWindow false starts it
// with its window hidden.
// When `wait` is set, waits up to timeoutMs (kInfiniteWait: without limit) and
// stores the exit code in *exitCode: -1 (all 32 bits set) when it cannot be
// read, kStillActive when the process outlived the wait. The process and
// thread handles are closed in every case. *lastError (optional) receives the
// last system error after the creation attempt. True when the process was
// created.
//
// The simulated machine splits the command line by the rules of the system's
// own splitter and starts the program with posix_spawn; the window flag has
// no meaning there.
bool RunProcess(uint32_t* lastError, const std::wstring& commandLine, const std::wstring& arguments, bool wait,
                bool showWindow, uint32_t timeoutMs, int32_t* exitCode);

// A program started as RunProcess starts it without waiting (a newer launcher:
// it gets the launcher's own TEMP and TMP, the user's), whose end can be
// waited for later, from another thread too (one waiter at a time). Letting it
// go closes the launcher's hold on it; the program runs on.
class StartedProcess {
 public:
  StartedProcess();
  ~StartedProcess();
  StartedProcess(const StartedProcess&) = delete;
  StartedProcess& operator=(const StartedProcess&) = delete;

  // True when the process was created; *lastError (optional) as RunProcess.
  [[nodiscard]] bool Start(const std::wstring& commandLine, bool showWindow, uint32_t* lastError);
  // Waits up to timeoutMs (kInfiniteWait: without limit). True when the
  // process has ended, with its exit code in *exitCode (-1 when it cannot be
  // read); false while it still runs.
  bool Wait(uint32_t timeoutMs, int32_t* exitCode);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
