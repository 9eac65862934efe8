#include "ui/win32/cstm_bitmap_button.h"

#include "ui/win32/win_util.h"

namespace {
enum Slot { kNormal = 0, kPressed = 1, kFocus = 2, kDisabled = 3 };
}  // namespace

CCstmBitmapButton::~CCstmBitmapButton() { ReleaseBitmaps(); }

void CCstmBitmapButton::ReleaseBitmaps() {
  for (HBITMAP& bitmap : bitmaps_) {
    if (bitmap) ::DeleteObject(bitmap);
    bitmap = nullptr;
  }
  for (int& id : loadedIds_) id = 0;
}

bool CCstmBitmapButton::LoadBitmaps(int normal, int pressed, int focus, int disabled) {
  ReleaseBitmaps();
  const int ids[4] = {normal, pressed, focus, disabled};
  for (int slot = 0; slot < 4; ++slot) {
    if (ids[slot] == 0) continue;
    bitmaps_[slot] = LoadResourceBitmap(ids[slot]);
    if (bitmaps_[slot]) loadedIds_[slot] = ids[slot];
  }
  return bitmaps_[kNormal] != nullptr;
}

void CCstmBitmapButton::SizeToContent() {
  if (!bitmaps_[kNormal] || !Hwnd()) return;
  BITMAP info{};
  ::GetObjectW(bitmaps_[kNormal], sizeof(info), &info);
  ::SetWindowPos(Hwnd(), nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CCstmBitmapButton::Notify(bool enabled, UINT message) {
  if (enabled && notifyWindow && message != 0) ::SendMessageW(notifyWindow, message, 0, 0);
}

void CCstmBitmapButton::DrawItem(const DRAWITEMSTRUCT* item) {
  HBITMAP bitmap = bitmaps_[kNormal];
  if ((item->itemState & ODS_SELECTED) && bitmaps_[kPressed]) {
    bitmap = bitmaps_[kPressed];
  } else if ((item->itemState & ODS_FOCUS) && bitmaps_[kFocus]) {
    bitmap = bitmaps_[kFocus];
  } else if ((item->itemState & ODS_DISABLED) && bitmaps_[kDisabled]) {
    bitmap = bitmaps_[kDisabled];
  }
  if (!bitmap) return;
  HDC memory = ::CreateCompatibleDC(item->hDC);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  const RECT& r = item->rcItem;
  ::BitBlt(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0, SRCCOPY);
  ::SelectObject(memory, old);
  ::DeleteDC(memory);
}

LRESULT CCstmBitmapButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kReflectBase + WM_DRAWITEM:
      DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_MOUSEMOVE: {
      // Ask for both a hover and a leave report; the short hover time makes the
      // hover images appear as soon as the mouse is on the button.
      TRACKMOUSEEVENT track{};
      track.cbSize = sizeof(track);
      track.dwFlags = TME_HOVER | TME_LEAVE;
      track.hwndTrack = Hwnd();
      track.dwHoverTime = 1;
      ::TrackMouseEvent(&track);
      break;
    }
    case WM_MOUSEHOVER:
      if (!hovering) {
        LoadBitmaps(imgHover, imgPressed, imgHoverFocus, imgDisabled);
        hovering = true;
        Notify(notifyHover, msgHover);
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
      }
      break;
    case WM_MOUSELEAVE:
      if (hovering) {
        LoadBitmaps(imgNormal, imgPressed, imgFocus, imgDisabled);
        hovering = false;
        Notify(notifyHover, msgLeave);
        ::InvalidateRect(Hwnd(), nullptr, FALSE);
      }
      break;
    case WM_SETFOCUS: {
      const LRESULT result = Default(message, wParam, lParam);
      Notify(notifyFocus, msgSetFocus);
      return result;
    }
    case WM_KILLFOCUS: {
      const LRESULT result = Default(message, wParam, lParam);
      Notify(notifyFocus, msgKillFocus);
      return result;
    }
    case kReflectBase + WM_COMMAND:
      // The button's own focus notifications (sent when it has the notify style).
      if (HIWORD(wParam) == BN_SETFOCUS) Notify(notifyFocus, msgSetFocus);
      if (HIWORD(wParam) == BN_KILLFOCUS) Notify(notifyFocus, msgKillFocus);
      return 0;
    case WM_SETCURSOR:
      if (useHandCursor && handCursor) {
        ::SetCursor(handCursor);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return Default(message, wParam, lParam);
}
