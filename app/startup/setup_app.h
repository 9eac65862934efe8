#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "app/launcher_context.h"
#include "base/error_box.h"
#include "platform/named_objects.h"

// Where the run goes after a step: on to the next; to its end with an exit
// code (the usage, another launcher, a newer launcher that took over); and,
// when the step failed, through the error box with its text.
struct [[nodiscard]] RunOutcome {
  enum class Next { kGoOn, kEnd, kHandedOver };
  Next next = Next::kGoOn;
  // The exit code of a run that ends or was handed over; an interactive run's is 0.
  int32_t exitCode = 0;
  std::optional<std::wstring> error;

  bool GoesOn() const { return next == Next::kGoOn && !error; }
  static RunOutcome GoOn() { return {}; }
  static RunOutcome End(int32_t exitCode = 0) { return {Next::kEnd, exitCode, std::nullopt}; }
  static RunOutcome HandedOver(int32_t exitCode = 0) { return {Next::kHandedOver, exitCode, std::nullopt}; }
  // A failure whose cause the log already tells, or cannot yet.
  static RunOutcome Failure(std::wstring text) { return {Next::kGoOn, 0, std::move(text)}; }
};

// The application object: its InitInstance is the whole life of the launcher.
class CSetupApp {
 public:
  // Runs the start-up sequence and the wizard; returns false (no message loop
  // follows), as the process then simply ends.
  bool InitInstance();

  LauncherContext& Context() { return context_; }
  // The process exit code: 0, or the outcome of a silent run (base/exit_codes.h).
  int ExitCode() const { return context_.ExitCode; }

 private:
  void TakeTheSwitches();
  RunOutcome PrepareFoldersAndLog();
  // Ends the run at the usage, or at an unknown switch of a silent run.
  RunOutcome AcceptCommandLine();
  // Ends the run when another launcher runs; ends, or in a silent run answers,
  // the launcher that replaced itself with this one.
  RunOutcome ClaimTheRun();
  void TakeOverFromSourceLauncher(uint32_t sourcePid, platform::AdminEvent* handOverToSignal);
  // Ends the run when another launcher holds the machine's launcher object.
  RunOutcome HoldTheLauncherObject();
  RunOutcome LoadSettingsAndNoticesHeader();
  RunOutcome RunSelfUpdate();
  RunOutcome WaitForNewLauncher();
  static constexpr uint32_t kHandOverWaitMs = 30000;
  RunOutcome TakePredecessorsBaseSettings();
  RunOutcome ReloadNewerSettings();
  void DecideWhetherNoticesShow();
  void PrepareTheWizard();
  RunOutcome RunTheWizard();
  void EndTheRun(const RunOutcome& outcome);
  int32_t SilentRunsExitCode(bool failed) const;

  LauncherContext context_;
  // Held for the whole run: the sign that a launcher runs on this machine.
  platform::AdminEvent launcherObject_;
};

// The launcher whose self-update started this process, if any: only when
// started with "/O"; the parent process whose id was handed over
// ("/SourcePid:<id>"), or, from launchers that hand over none, the parent
// process running an executable of exactly the same name; in either case only
// a process created no later than this one, as a process id may have been given anew.
bool FindUpgradeSourceProcess(bool startedBySource, uint32_t handedPid, uint32_t* pid);
