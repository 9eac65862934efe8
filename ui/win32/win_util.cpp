#include "ui/win32/win_util.h"

#include <vector>

namespace {
HINSTANCE g_resources = nullptr;
}  // namespace

HINSTANCE ResourceInstance() { return g_resources ? g_resources : ::GetModuleHandleW(nullptr); }

void SetResourceInstance(HINSTANCE instance) { g_resources = instance; }

HBITMAP LoadResourceBitmap(int id) {
  return static_cast<HBITMAP>(::LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
}

bool MoveControl(HWND control, int x, int y) {
  if (!control) return false;
  return ::SetWindowPos(control, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

bool MoveSizeControl(HWND control, int x, int y, int width, int height) {
  if (!control) return false;
  return ::SetWindowPos(control, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

SIZE WindowSize(HWND window) {
  RECT r{};
  ::GetWindowRect(window, &r);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  ::GetWindowTextW(window, buffer.data(), length + 1);
  return std::wstring(buffer.data());
}

void RedrawNow(HWND window) {
  if (window) ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
