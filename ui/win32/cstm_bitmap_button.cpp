#include "ui/win32/cstm_bitmap_button.h"

#include "ui/win32/win_util.h"

namespace {
enum Slot { kNormal = 0, kPressed = 1, kFocus = 2, kDisabled = 3 };
}  // namespace

void CCstmBitmapButton::ReleaseBitmaps() {
  for (UniqueBitmap& bitmap : bitmaps_) bitmap.Reset();
  for (int& id : loadedIds_) id = 0;
}

bool CCstmBitmapButton::LoadBitmaps(int normal, int pressed, int focus, int disabled) {
  ReleaseBitmaps();
  const int ids[4] = {normal, pressed, focus, disabled};
  for (int slot = 0; slot < 4; ++slot) {
    if (ids[slot] == 0) continue;
    bitmaps_[slot].Reset(LoadResourceBitmap(ids[slot]));
    if (bitmaps_[slot]) loadedIds_[slot] = ids[slot];
  }
  return static_cast<bool>(bitmaps_[kNormal]);
}

void CCstmBitmapButton::SizeToContent() {
  if (!bitmaps_[kNormal] || !Hwnd()) return;
  BITMAP info{};
  ::GetObjectW(bitmaps_[kNormal].get(), sizeof(info), &info);
  ::SetWindowPos(Hwnd(), nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CCstmBitmapButton::Notify(bool enabled, UINT message) {
  if (enabled && notifyWindow && message != 0) ::SendMessageW(notifyWindow, message, 0, 0);
}

void CCstmBitmapButton::DrawItem(const DRAWITEMSTRUCT* item) {
  HBITMAP bitmap = bitmaps_[kNormal].get();
  if ((item->itemState & ODS_SELECTED) && bitmaps_[kPressed]) {
    bitmap = bitmaps_[kPressed].get();
  } else if ((item->itemState & ODS_FOCUS) && bitmaps_[kFocus]) {
    bitmap = bitmaps_[kFocus].get();
  } else if ((item->itemState & ODS_DISABLED) && bitmaps_[kDisabled]) {
    bitmap = bitmaps_[kDisabled].get();
  }
  if (!bitmap) return;
  const MemoryDc memory(::CreateCompatibleDC(item->hDC));
  HGDIOBJ old = ::SelectObject(memory.get(), bitmap);
  const RECT& r = item->rcItem;
  ::BitBlt(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory.get(), 0, 0, SRCCOPY);
  ::SelectObject(memory.get(), old);
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
