#pragma once
#include <windows.h>

#include <atomic>

#include "base/window_messages.h"
#include "ui/front_end.h"
#include "ui/setup_dialog_model.h"
#include "ui/win32/cstm_static.h"
#include "ui/win32/dialog_base.h"
#include "ui/win32/gdi_owned.h"
#include "ui/win32/page_base.h"

struct RunResult;

// The About box of the start-up dialog's system menu.
class CAboutDlg : public CDialogBase {
 public:
  CAboutDlg();

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
};

// The start-up dialog: says that the installer is starting and follows the
// start-up worker's steps, with a dot animation, until the worker ends it.
class CSetupDlg : public CDialogBase, public MessageSink {
 public:
  CSetupDlg(RunResult& result, InitWorkerStarter starter);

  // MessageSink, called on the start-up worker's thread.
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;
  std::wstring StatusLine() const;

 protected:
  BOOL OnInitDialog() override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  void OnDestroyWindow() override;

 private:
  bool InitControls();
  void Fail(const wchar_t* text);
  void SetStatusText(const std::wstring& text);

  RunResult& result_;
  InitWorkerStarter starter_;
  CBackground background_;
  SetupDialogModel model_;
  UINT_PTR timer_ = 0;
  UniqueIcon icon_;
  UniqueIcon smallIcon_;
  CCstmStatic title_;
  CCstmStatic status_;
  bool workerRunning_ = false;
  std::atomic<HWND> target_{nullptr};
};
