#pragma once
#include <cstdint>
#include <vector>

#include "base/window_messages.h"
#include "config/download_config.h"
#include "install/install_run.h"
#include "install/package_execution.h"
#include "net/download_notify.h"
#include "net/wait_clock.h"
#include "platform/held_file.h"

// The install worker: runs the network install (server check, download
// configuration, packages, installers) or the local install (the edition's
// installer beside the launcher), replaces the scanner library after a
// success, and reports to its window. Every notification is a synchronous send
// to that window: WM_INSTALL_STEP with each InstallStep while it works, the download progress,
// and WM_INSTALL_DONE (wParam detail, lParam result) exactly once, last.
//
// StartInstallThread runs one on a detached worker; the object lives only as
// long as its work.
class CInstallThread : private InstallStepSink {
 public:
  // notifyWindow may be null (nothing is reported); the waits between the
  // steps go through clock.
  CInstallThread(InstallRun run, MessageSink* notifyWindow, WaitClock& clock = SystemWaitClock());
  CInstallThread(const CInstallThread&) = delete;
  CInstallThread& operator=(const CInstallThread&) = delete;

  // The whole work; returns the result code it reported.
  int32_t Run();

 private:
  class ProgressRelay : public DownloadNotifyTarget {
   public:
    explicit ProgressRelay(CInstallThread& owner) : owner_(owner) {}
    void Notify(uint32_t message, const std::wstring& text) override;

   private:
    CInstallThread& owner_;
  };

  int32_t RunNetworkInstall(int32_t& detail);

  // InstallStepSink.
  void SendStep(InstallStep step) override;
  void SetInstallStartTime(int64_t time) override { installStartTime_ = time; }
  int64_t InstallStartTime() const override { return installStartTime_; }

  const InstallRun run_;
  MessageSink* const notifyWindow_;
  WaitClock& clock_;
  ProgressRelay progress_{*this};
  // The packages of the download configuration, in file order; the verified
  // ones stay held until the worker ends, through the scanner library step.
  std::vector<PackageEntry> packages_;
  // The download configuration, held from its download until the worker
  // ends: what was parsed is what names the packages and commands.
  platform::HeldFile config_;
  int64_t installStartTime_ = 0;
};

// Creates an install thread for the status page, logs that it runs, and
// starts it; the object ends with its work (WaitForDetachedWorkers waits for
// it). False when it could not be started.
bool StartInstallThread(InstallRun run, MessageSink* notifyWindow,
                        WaitClock& clock = SystemWaitClock());
