#include "ui/win32/cstm_static.h"

#include <cwchar>
#include <utility>

#include "ui/resource_ids.h"
#include "ui/ui_messages.h"
#include "ui/win32/win_util.h"

CCstmStatic::CCstmStatic()
    : textColour_(::GetSysColor(COLOR_WINDOWTEXT)),
      fallbackBrush_(::CreateSolidBrush(::GetSysColor(COLOR_BTNFACE))) {
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(logFont_), &logFont_);
}

CCstmStatic::~CCstmStatic() { UnsubclassWindow(); }

bool CCstmStatic::Attach(HWND dialog, int id) {
  HWND label = ::GetDlgItem(dialog, id);
  if (!label) return false;
  ::SetWindowLongPtrW(label, GWL_STYLE, ::GetWindowLongPtrW(label, GWL_STYLE) | SS_NOTIFY);
  return SubclassWindow(label);
}

void CCstmStatic::Redraw() { RedrawNow(Hwnd()); }

void CCstmStatic::SetTextColour(COLORREF colour) {
  textColour_ = colour;
  Redraw();
}

bool CCstmStatic::RecreateFont() {
  UniqueFont font(::CreateFontIndirectW(&logFont_));
  if (!font) return false;
  if (Hwnd()) ::SendMessageW(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
  // The label has let go of the font it drew with: that one goes only now.
  font_ = std::move(font);
  return true;
}

void CCstmStatic::SetBold(bool bold) {
  if (bold == bold_) return;
  if (bold) {
    weightBeforeBold_ = logFont_.lfWeight;
    logFont_.lfWeight = FW_BOLD;
  } else {
    logFont_.lfWeight = weightBeforeBold_;
  }
  bold_ = bold;
  RecreateFont();
  Redraw();
}

void CCstmStatic::SetUnderline(bool underline) {
  logFont_.lfUnderline = underline ? TRUE : FALSE;
  RecreateFont();
  Redraw();
}

void CCstmStatic::SetFaceName(const std::wstring& face) {
  // LOGFONT holds at most 32 characters with the terminator.
  wcsncpy(logFont_.lfFaceName, face.c_str(), LF_FACESIZE - 1);
  logFont_.lfFaceName[LF_FACESIZE - 1] = L'\0';
}

void CCstmStatic::SetFontHeight(LONG height) { logFont_.lfHeight = height; }

void CCstmStatic::SetBackgroundColour(COLORREF colour) {
  background_.Reset(::CreateSolidBrush(colour));
}

void CCstmStatic::SetWhiteBackground() { SetBackgroundColour(RGB(0xFF, 0xFF, 0xFF)); }

bool CCstmStatic::LoadHandCursor() {
  if (!handCursor_) handCursor_ = ::LoadCursorW(ResourceInstance(), MAKEINTRESOURCEW(IDC_HAND_LINK));
  return handCursor_ != nullptr;
}

void CCstmStatic::MakeLink(HWND buddy) {
  linkMode_ = true;
  boldOnFocus_ = true;
  focusColour_ = LINK_COLOUR;
  normalColour_ = LINK_COLOUR;
  buddy_ = buddy;
}

LRESULT CCstmStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kReflectBase + WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (font_) ::SelectObject(dc, font_.get());
      ::SetBkMode(dc, TRANSPARENT);
      ::SetTextColor(dc, textColour_);
      return reinterpret_cast<LRESULT>(background_ ? background_.get() : fallbackBrush_.get());
    }
    case kReflectBase + WM_CTLCOLORBTN:
    case kReflectBase + WM_CTLCOLORLISTBOX:
      return reinterpret_cast<LRESULT>(fallbackBrush_.get());
    case WM_SETFOCUS:
      if (linkMode_) {
        if (boldOnFocus_) SetBold(true);
        SetTextColour(focusColour_);
        if (buddy_) ::ShowWindow(buddy_, SW_SHOW);
        Redraw();
      }
      break;
    case WM_KILLFOCUS:
      if (linkMode_) {
        if (boldOnFocus_) SetBold(false);
        SetTextColour(normalColour_);
        if (buddy_) ::ShowWindow(buddy_, SW_HIDE);
        Redraw();
      }
      break;
    case WM_SETCURSOR:
      if (useHandCursor_ && handCursor_) {
        ::SetCursor(handCursor_);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return Default(message, wParam, lParam);
}
