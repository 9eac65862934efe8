#include "ui/win32/page_base.h"

#include "ui/win32/win_util.h"

CBackground::~CBackground() { Release(); }

void CBackground::Release() {
  // The image leaves the surface before either goes, so that both are freed.
  if (dc_ && oldBitmap_) ::SelectObject(dc_.get(), oldBitmap_);
  oldBitmap_ = nullptr;
  dc_.Reset();
  bitmap_.Reset();
  imageId_ = width_ = height_ = 0;
}

bool CBackground::Load(HWND window, int id, int height) {
  Release();
  dc_.Reset(::CreateCompatibleDC(WindowDc(window).get()));
  if (!dc_) return false;
  bitmap_.Reset(LoadResourceBitmap(id));
  if (!bitmap_) {
    Release();
    return false;
  }
  oldBitmap_ = ::SelectObject(dc_.get(), bitmap_.get());
  BITMAP info{};
  ::GetObjectW(bitmap_.get(), sizeof(info), &info);
  imageId_ = id;
  width_ = info.bmWidth;
  height_ = height > 0 ? height : info.bmHeight;
  return true;
}

void CBackground::Paint(HDC dc) const {
  if (dc_) ::BitBlt(dc, 0, 0, width_, height_, dc_.get(), 0, 0, SRCCOPY);
}

CPageBase::CPageBase(UINT templateId, CPageHost& host) : CDialogBase(templateId), host_(host) {}

bool CPageBase::CreatePage(HWND parent, int x, int y, int width, int height) {
  if (!Create(parent) || !Hwnd()) return false;
  HWND page = Hwnd();
  ::SetWindowLongPtrW(page, GWL_EXSTYLE, ::GetWindowLongPtrW(page, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
  ::SetWindowLongPtrW(page, GWL_STYLE,
                      (::GetWindowLongPtrW(page, GWL_STYLE) & ~static_cast<LONG_PTR>(WS_CAPTION)) | WS_CLIPCHILDREN);
  ::SetWindowPos(page, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  return true;
}

bool CPageBase::LoadBackground(int id, int height) {
  const bool ok = background_.Load(Hwnd(), id, height);
  ::InvalidateRect(Hwnd(), nullptr, TRUE);
  return ok;
}

bool CPageBase::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_ERASEBKGND:
      if (!background_.Loaded()) return false;
      background_.Paint(reinterpret_cast<HDC>(wParam));
      *result = SetMessageResult(1);
      return true;
    case WM_LBUTTONDOWN: {
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      host_.BeginDrag(Hwnd(), point);
      *result = TRUE;
      return true;
    }
    default:
      return false;
  }
}

UINT KeyDownCode(const MSG* message) {
  return message->message == WM_KEYDOWN ? static_cast<UINT>(message->wParam) : 0;
}
