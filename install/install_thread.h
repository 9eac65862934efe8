#pragma once
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "base/window_messages.h"
#include "config/download_config.h"
#include "env/environment_checks.h"
#include "net/download_notify.h"
#include "net/wait_clock.h"

struct LauncherContext;

// The install worker: runs the network install (download configuration,
// packages, installers) or the local install (the edition's installer beside
// the launcher), replaces the scanner library after a success and reports one
// result code and one detail to its window. Every notification is a
// synchronous send to NotifyWindow: WM_INSTALL_STEP 1..10 while it works, the
// download progress, and WM_INSTALL_DONE (wParam detail, lParam result)
// exactly once, last.
//
// The object also carries the pre-installation checks, which the start-up
// sequence and the wizard frame run on a temporary object that is never started.
class CInstallThread {
 public:
  // The waits between the steps go through clock (tests pass one that does not sleep).
  explicit CInstallThread(LauncherContext& context, WaitClock& clock = SystemWaitClock());
  // Waits for a started thread unless called on that thread itself.
  ~CInstallThread();
  CInstallThread(const CInstallThread&) = delete;
  CInstallThread& operator=(const CInstallThread&) = delete;

  // The status page's window; set before the thread starts.
  MessageSink* NotifyWindow = nullptr;
  // The packages of the download configuration, in file order.
  std::vector<PackageEntry> Packages;
  // Seconds since 1970 (UTC), taken just before each installer is started;
  // only event-log records written at or after it count.
  int64_t InstallStartTime = 0;

  // Runs Run on a thread of its own; false when the thread cannot be created.
  bool Start();
  // Waits until Run has returned. Not from the handler of one of this
  // thread's messages: the thread waits for that handler.
  void Join();
  // Run's result once it has returned (the thread's exit code).
  int32_t ExitCode() const { return exitCode_; }

  // The whole work; returns the result code.
  int32_t Run();
  int32_t RunNetworkInstall(int32_t& detail);
  int32_t RunLocalInstall(int32_t& detail);

  // Conflicting software, installed edition and latest version, in their
  // fixed order; sets ResultCode and returns it, 0 when the installation may go on.
  int32_t RunEnvironmentChecks(CheckCaller caller);

  LauncherContext& Context() { return context_; }
  WaitClock& Clock() { return clock_; }
  // WM_INSTALL_STEP with the step number.
  void SendStep(int32_t step);
  // The download progress, relayed to NotifyWindow.
  DownloadNotifyTarget* ProgressTarget();

 private:
  class ProgressRelay : public DownloadNotifyTarget {
   public:
    explicit ProgressRelay(CInstallThread& owner) : owner_(owner) {}
    void Notify(uint32_t message, const std::wstring& text) override;

   private:
    CInstallThread& owner_;
  };

  LauncherContext& context_;
  WaitClock& clock_;
  ProgressRelay progress_{*this};
  std::thread thread_;
  int32_t exitCode_ = 0;
};

// Creates an install thread for the status page and starts it; the object
// ends with its work (WaitForDetachedWorkers waits for it). False when it
// could not be started.
bool StartInstallThread(LauncherContext& context, MessageSink* notifyWindow,
                        WaitClock& clock = SystemWaitClock());
