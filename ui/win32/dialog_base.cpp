#include "ui/win32/dialog_base.h"

#include "ui/win32/win_util.h"

namespace {
const wchar_t kObjectProperty[] = L"TavoDialogObject";
}  // namespace

CDialogBase::CDialogBase(UINT templateId) : templateId_(templateId) {}

CDialogBase::~CDialogBase() {
  if (hwnd_ && ::IsWindow(hwnd_)) {
    ::RemovePropW(hwnd_, kObjectProperty);
    ::SetWindowLongPtrW(hwnd_, DWLP_USER, 0);
    ::DestroyWindow(hwnd_);
  }
}

CDialogBase* CDialogBase::FromHandle(HWND window) {
  if (!window) return nullptr;
  return static_cast<CDialogBase*>(::GetPropW(window, kObjectProperty));
}

bool CDialogBase::Create(HWND parent) {
  if (hwnd_) return true;
  HWND window = ::CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(templateId_), parent, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
  return window != nullptr;
}

INT_PTR CDialogBase::RunModal(HWND owner) {
  modalResult_ = IDCANCEL;
  endRequested_ = false;
  running_ = true;
  if (!Create(owner) || !hwnd_) {
    running_ = false;
    return -1;
  }
  const bool ownerEnabled = owner && ::IsWindowEnabled(owner);
  if (ownerEnabled) ::EnableWindow(owner, FALSE);
  // The dialog may already have ended during its initialisation.
  if (running_) ::ShowWindow(hwnd_, SW_SHOW);
  MSG msg;
  while (running_) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // Keep the quit request for the loop that owns it.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got == -1) break;
    if (PreTranslateFor(&msg, hwnd_)) continue;
    if (hwnd_ && ::IsDialogMessageW(hwnd_, &msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  running_ = false;
  if (ownerEnabled) {
    ::EnableWindow(owner, TRUE);
    ::SetActiveWindow(owner);
  }
  if (hwnd_) ::DestroyWindow(hwnd_);
  return modalResult_;
}

INT_PTR CDialogBase::RunSystemModal(HWND owner) {
  systemModal_ = true;
  const INT_PTR result = ::DialogBoxParamW(ResourceInstance(), MAKEINTRESOURCEW(templateId_), owner, DialogProc,
                                           reinterpret_cast<LPARAM>(this));
  systemModal_ = false;
  return result;
}

void CDialogBase::EndModal(INT_PTR result) {
  modalResult_ = result;
  endRequested_ = true;
  if (systemModal_) {
    ::EndDialog(hwnd_, result);
    return;
  }
  if (running_) {
    running_ = false;
    // Wake the loop so that it sees the end.
    if (hwnd_) ::PostMessageW(hwnd_, WM_NULL, 0, 0);
  }
}

INT_PTR CDialogBase::SetMessageResult(LRESULT value) {
  ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, value);
  return TRUE;
}

bool CDialogBase::PreTranslateFor(MSG* message, HWND top) {
  // From the window the message is meant for up through its parents, as far
  // as the top-level dialog.
  for (HWND window = message->hwnd; window; ) {
    if (CDialogBase* dialog = FromHandle(window)) {
      if (dialog->PreTranslateMessage(message)) return true;
    }
    if (window == top) break;
    if (!(::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD)) break;
    window = ::GetParent(window);
  }
  return false;
}

INT_PTR CALLBACK CDialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialogBase* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialogBase*>(lParam);
    self->hwnd_ = window;
    ::SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    ::SetPropW(window, kObjectProperty, self);
  } else {
    self = reinterpret_cast<CDialogBase*>(::GetWindowLongPtrW(window, DWLP_USER));
  }
  if (!self) return FALSE;
  const INT_PTR result = self->Dispatch(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::RemovePropW(window, kObjectProperty);
    ::SetWindowLongPtrW(window, DWLP_USER, 0);
    self->hwnd_ = nullptr;
  }
  return result;
}

INT_PTR CDialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) return OnInitDialog();
  if (message == WM_DESTROY) OnDestroyWindow();
  INT_PTR result = FALSE;
  if (HandleMessage(message, wParam, lParam, &result)) return result;
  if (Reflect(message, wParam, lParam, &result)) return result;
  return FALSE;
}

bool CDialogBase::Reflect(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  HWND control = nullptr;
  switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      control = reinterpret_cast<HWND>(lParam);
      if (!control) return false;
      if (LRESULT brush = ::SendMessageW(control, kReflectBase + message, wParam, lParam)) {
        *result = static_cast<INT_PTR>(brush);
        return true;
      }
      return false;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (!item || item->CtlType == ODT_MENU) return false;
      control = item->hwndItem;
      break;
    }
    case WM_MEASUREITEM: {
      const auto* item = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
      if (!item || item->CtlType == ODT_MENU) return false;
      control = ::GetDlgItem(hwnd_, static_cast<int>(item->CtlID));
      break;
    }
    case WM_COMMAND:
      control = reinterpret_cast<HWND>(lParam);
      if (!control) return false;
      // Notifications stay with the dialog too; the control only looks.
      ::SendMessageW(control, kReflectBase + message, wParam, lParam);
      return false;
    default:
      return false;
  }
  if (!control) return false;
  if (::SendMessageW(control, kReflectBase + message, wParam, lParam)) {
    *result = TRUE;
    return true;
  }
  return false;
}
