#pragma once
// Owners of what the windows draw with: fonts, brushes, bitmaps and regions,
// icons, memory surfaces, and a window's drawing surface borrowed for a moment.
// Each gives back what it holds when it goes, on every path out.
#include <windows.h>

#include "platform/win32/owned_win.h"

// A font, brush, bitmap or region. One still selected into a surface is not
// freed by the system, so a surface gives it back before its owner goes.
template <typename Object>
struct GdiObjectTraits : platform::win32::NullIsEmpty<Object> {
  static void Free(Object object) { ::DeleteObject(object); }
};
template <typename Object>
using GdiObject = platform::win32::Owned<GdiObjectTraits<Object>>;
using UniqueFont = GdiObject<HFONT>;
using UniqueBrush = GdiObject<HBRUSH>;
using UniqueBitmap = GdiObject<HBITMAP>;
using UniqueRegion = GdiObject<HRGN>;

// An icon loaded at a size of our choosing (LoadImageW without LR_SHARED).
struct IconTraits : platform::win32::NullIsEmpty<HICON> {
  static void Free(Value icon) { ::DestroyIcon(icon); }
};
using UniqueIcon = platform::win32::Owned<IconTraits>;

// A surface made with CreateCompatibleDC.
struct MemoryDcTraits : platform::win32::NullIsEmpty<HDC> {
  static void Free(Value dc) { ::DeleteDC(dc); }
};
using MemoryDc = platform::win32::Owned<MemoryDcTraits>;

// A window's drawing surface (the screen's for no window), borrowed with
// GetDC and given back to the window when this goes.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};
