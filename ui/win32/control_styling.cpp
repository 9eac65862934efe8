#include "ui/win32/control_styling.h"

#include "ui/ui_messages.h"
#include "ui/win32/win_util.h"

namespace {

constexpr LONG kKeepHeight = -0x7FFFFFFF;

// The common steps of every label variant.
bool StyleLabel(CCstmStatic* label, const FontSpec& font, LONG fontHeight, const std::wstring& text, int x, int y,
                int width, int height) {
  if (!label || !label->Hwnd()) return false;
  if (fontHeight != kKeepHeight) label->SetFontHeight(fontHeight);
  label->RecreateFont();
  label->Redraw();
  label->SetTextColour(LABEL_COLOUR);
  label->SetWhiteBackground();
  label->SetFaceName(font.face);
  label->RecreateFont();
  label->Redraw();
  ::SetWindowTextW(label->Hwnd(), text.c_str());
  MoveSizeControl(label->Hwnd(), x, y, width, height);
  return true;
}

}  // namespace

bool SetupTitleLabel(CCstmStatic* label, const FontSpec& font, const std::wstring& text, int x, int y, int width,
                     int height) {
  return StyleLabel(label, font, font.titleHeight, text, x, y, width ? width : 738, height ? height : 32);
}

bool SetupPageTitleLabel(CCstmStatic* label, const FontSpec& font, const std::wstring& text, int width, int height,
                         int heightDelta) {
  return StyleLabel(label, font, font.titleHeight2 + heightDelta, text, 24, 10, width ? width : 738,
                    height ? height : 32);
}

bool SetupStatusLabel(CCstmStatic* label, const FontSpec& font, const std::wstring& text, int width, int height) {
  return StyleLabel(label, font, font.bodyHeight, text, 12, 290, width ? width : 738, height ? height : 32);
}

bool SetupBodyLabel(CCstmStatic* label, const FontSpec& font, const std::wstring& text, int x, int y, int width,
                    int height, int heightDelta) {
  return StyleLabel(label, font, font.bodyHeight2 + heightDelta, text, x, y, width ? width : 719,
                    height ? height : 64);
}

bool SetupPlainLabel(CCstmStatic* label, const FontSpec& font, const std::wstring& text, int x, int y, int width,
                     int height) {
  if (!label || !label->Hwnd()) return false;
  if (width == 0) width = WindowSize(label->Hwnd()).cx;
  return StyleLabel(label, font, kKeepHeight, text, x, y, width, height ? height : 64);
}

bool SetupImageButton(CCstmBitmapButton* button, int x, int y, const std::wstring& caption, int normal, int pressed,
                      int focus, int hover, int hoverFocus, int disabled, UINT msgSetFocus, UINT msgKillFocus,
                      UINT msgHover, UINT msgLeave, bool skipImages, int cursorId) {
  if (!button || !button->Hwnd()) return false;
  HWND hwnd = button->Hwnd();
  button->notifyWindow = ::GetParent(hwnd);
  button->msgSetFocus = msgSetFocus;
  button->msgKillFocus = msgKillFocus;
  button->msgHover = msgHover;
  button->msgLeave = msgLeave;
  button->imgNormal = normal;
  button->imgPressed = pressed;
  button->imgFocus = focus;
  button->imgHover = hover;
  button->imgHoverFocus = hoverFocus;
  button->imgDisabled = disabled;
  button->notifyFocus = true;
  button->notifyHover = true;
  if (cursorId != 0) {
    button->useHandCursor = true;
    button->handCursor = ::LoadCursorW(ResourceInstance(), MAKEINTRESOURCEW(cursorId));
  }
  if (!skipImages) {
    const LONG_PTR style = ::GetWindowLongPtrW(hwnd, GWL_STYLE);
    ::SetWindowLongPtrW(hwnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW);
    ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    if (!button->LoadBitmaps(normal, pressed, focus, disabled)) return false;
    button->SizeToContent();
    ::InvalidateRect(hwnd, nullptr, TRUE);
    if (!MoveControl(hwnd, x, y)) return false;
  }
  ::SetWindowTextW(hwnd, caption.c_str());
  return true;
}
