#include "ui/win32/win_util.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "ui/packed_image.h"
#include "ui/win32/gdi_owned.h"

namespace {
HINSTANCE g_resources = nullptr;
}  // namespace

HINSTANCE ResourceInstance() { return g_resources ? g_resources : ::GetModuleHandleW(nullptr); }

void SetResourceInstance(HINSTANCE instance) { g_resources = instance; }

HBITMAP LoadResourceBitmap(int id) {
  // The bitmaps are stored packed (ui/packed_image.h); unpacked, each is the
  // drawn bitmap file, made into a bitmap for the screen as LoadImageW would.
  HINSTANCE module = ResourceInstance();
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) return nullptr;
  std::vector<uint8_t> file;
  BitmapFileParts parts;
  if (!UnpackImage(static_cast<const uint8_t*>(data), ::SizeofResource(module, found), &file) ||
      !ParseBitmapFile(file, &parts)) {
    return nullptr;
  }
  // The header starts at an odd place in the file; a copy of it is aligned.
  std::vector<uint32_t> header((parts.bits_offset - parts.info_offset + 3) / 4);
  std::memcpy(header.data(), file.data() + parts.info_offset, parts.bits_offset - parts.info_offset);
  const auto* info = reinterpret_cast<const BITMAPINFO*>(header.data());
  const WindowDc screen(nullptr);
  if (!screen) return nullptr;
  return ::CreateDIBitmap(screen.get(), &info->bmiHeader, CBM_INIT, file.data() + parts.bits_offset, info,
                          DIB_RGB_COLORS);
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
