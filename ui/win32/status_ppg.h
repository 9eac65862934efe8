#pragma once
#include <windows.h>

#include <atomic>
#include <string>

#include "base/window_messages.h"
#include "ui/win32/cstm_static.h"
#include "ui/win32/gdi_owned.h"
#include "ui/win32/page_base.h"

// Step 1: the installation page. It is the install worker's message target:
// the worker's messages arrive synchronously and go to the wizard's status
// handling, which sets the status line here.
class CStatusPPG : public CPageBase, public MessageSink {
 public:
  explicit CStatusPPG(CPageHost& host);

  bool PrepareStatusControls();
  void SetStatusLine(const std::wstring& text);
  std::wstring StatusLine() const;

  // MessageSink, called on the install worker's thread.
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

 protected:
  BOOL OnInitDialog() override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  bool PreTranslateMessage(MSG* message) override;
  void OnDestroyWindow() override;

 private:
  CCstmStatic title_;
  CCstmStatic statusLine_;
  UniqueIcon icon_;
  std::atomic<HWND> target_{nullptr};
};
