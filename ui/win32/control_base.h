#pragma once
#include <windows.h>

// A control of a dialog template taken over by an object: its messages pass
// through WindowProc first, including the notifications its dialog reflects
// back to it (kReflectBase + the message).
class CControlBase {
 public:
  CControlBase() = default;
  virtual ~CControlBase();
  CControlBase(const CControlBase&) = delete;
  CControlBase& operator=(const CControlBase&) = delete;

  // Takes over the control with that ID of the dialog; false when it is absent.
  bool SubclassDlgItem(HWND dialog, int id);
  bool SubclassWindow(HWND control);
  void UnsubclassWindow();
  HWND Hwnd() const { return hwnd_; }

 protected:
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The control's own handling.
  LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
  virtual void OnNcDestroy() {}

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
  HWND hwnd_ = nullptr;
};
