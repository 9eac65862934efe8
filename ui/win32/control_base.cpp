#include "ui/win32/control_base.h"

#include <commctrl.h>

namespace {
constexpr UINT_PTR kSubclassId = 0x7A56;
}  // namespace

CControlBase::~CControlBase() { UnsubclassWindow(); }

bool CControlBase::SubclassDlgItem(HWND dialog, int id) {
  HWND control = ::GetDlgItem(dialog, id);
  if (!control) return false;
  return SubclassWindow(control);
}

bool CControlBase::SubclassWindow(HWND control) {
  if (hwnd_ == control) return true;
  UnsubclassWindow();
  if (!control) return false;
  if (!::SetWindowSubclass(control, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) return false;
  hwnd_ = control;
  return true;
}

void CControlBase::UnsubclassWindow() {
  if (hwnd_) {
    ::RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
    hwnd_ = nullptr;
  }
}

LRESULT CControlBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return Default(message, wParam, lParam);
}

LRESULT CControlBase::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefSubclassProc(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK CControlBase::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data) {
  auto* self = reinterpret_cast<CControlBase*>(data);
  if (message == WM_NCDESTROY) {
    self->OnNcDestroy();
    ::RemoveWindowSubclass(window, SubclassProc, kSubclassId);
    self->hwnd_ = nullptr;
    return ::DefSubclassProc(window, message, wParam, lParam);
  }
  return self->WindowProc(message, wParam, lParam);
}
