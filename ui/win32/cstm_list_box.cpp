#include "ui/win32/cstm_list_box.h"

#include "ui/resource_ids.h"
#include "ui/win32/gdi_owned.h"
#include "ui/win32/win_util.h"

namespace {
// Rows are drawn this far from the list's left edge.
constexpr int kTextIndent = 5;
}  // namespace

CCstmListBox::CCstmListBox() = default;

CCstmListBox::~CCstmListBox() { UnsubclassWindow(); }

bool CCstmListBox::Attach(HWND dialog, int id) { return SubclassDlgItem(dialog, id); }

bool CCstmListBox::LoadHandCursor() {
  if (!handCursor_) handCursor_ = ::LoadCursorW(ResourceInstance(), MAKEINTRESOURCEW(IDC_HAND_LINK));
  return handCursor_ != nullptr;
}

int CCstmListBox::AddItem(const std::wstring& text, COLORREF textColour, COLORREF backgroundColour, const void* payload) {
  if (!Hwnd()) return LB_ERR;
  auto record = std::make_unique<ItemRecord>(ItemRecord{text, textColour, backgroundColour});
  measuring_ = &record->text;
  const LRESULT index = ::SendMessageW(Hwnd(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  measuring_ = nullptr;
  if (index < 0) return static_cast<int>(index);
  if (::SendMessageW(Hwnd(), LB_SETITEMDATA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(record.get())) ==
      LB_ERR) {
    return LB_ERR;
  }
  records_.push_back(std::move(record));
  payloads_.push_back(payload);
  return static_cast<int>(index);
}

const void* CCstmListBox::Payload(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= payloads_.size()) return nullptr;
  return payloads_[static_cast<size_t>(index)];
}

int CCstmListBox::Selection() const {
  if (!Hwnd()) return LB_ERR;
  return static_cast<int>(::SendMessageW(Hwnd(), LB_GETCURSEL, 0, 0));
}

void CCstmListBox::MeasureItem(MEASUREITEMSTRUCT* item) {
  std::wstring text;
  if (measuring_) {
    text = *measuring_;
  } else {
    const LRESULT length = ::SendMessageW(Hwnd(), LB_GETTEXTLEN, item->itemID, 0);
    if (length > 0) {
      text.resize(static_cast<size_t>(length) + 1);
      ::SendMessageW(Hwnd(), LB_GETTEXT, item->itemID, reinterpret_cast<LPARAM>(&text[0]));
      text.resize(static_cast<size_t>(length));
    }
  }
  RECT client{};
  ::GetClientRect(Hwnd(), &client);
  // Measured with the list's own font and at the width the text is drawn in,
  // so that a wrapped row is as tall as its lines.
  RECT r{0, 0, client.right - client.left - kTextIndent, 0};
  const WindowDc dc(Hwnd());
  HFONT listFont = reinterpret_cast<HFONT>(::SendMessageW(Hwnd(), WM_GETFONT, 0, 0));
  HGDIOBJ old = listFont ? ::SelectObject(dc.get(), listFont) : nullptr;
  int height = ::DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_WORDBREAK);
  if (old) ::SelectObject(dc.get(), old);
  if (height <= 0) height = 1;
  // A variable row is at most 255 pixels high.
  item->itemHeight = static_cast<UINT>(height > 255 ? 255 : height);
}

void CCstmListBox::DrawItem(const DRAWITEMSTRUCT* item) {
  if (item->itemID == static_cast<UINT>(-1)) return;
  const auto* record = reinterpret_cast<const ItemRecord*>(item->itemData);
  std::wstring text;
  COLORREF textColour = RGB(0, 0, 0);
  COLORREF backgroundColour = RGB(0xFF, 0xFF, 0xFF);
  if (record && reinterpret_cast<LRESULT>(record) != LB_ERR) {
    text = record->text;
    textColour = record->textColour;
    backgroundColour = record->backgroundColour;
  }
  // The selected row is drawn inverted.
  if (item->itemState & ODS_SELECTED) std::swap(textColour, backgroundColour);
  HDC dc = item->hDC;
  const COLORREF oldText = ::SetTextColor(dc, textColour);
  const COLORREF oldBack = ::SetBkColor(dc, backgroundColour);
  RECT r = item->rcItem;
  const UniqueBrush brush(::CreateSolidBrush(backgroundColour));
  ::FillRect(dc, &r, brush.get());
  r.left += kTextIndent;
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_WORDBREAK);
  ::SetTextColor(dc, oldText);
  ::SetBkColor(dc, oldBack);
}

void CCstmListBox::TrackHover() {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  const int count = static_cast<int>(::SendMessageW(Hwnd(), LB_GETCOUNT, 0, 0));
  const int selected = Selection();
  for (int i = 0; i < count; ++i) {
    RECT r{};
    if (::SendMessageW(Hwnd(), LB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r)) == LB_ERR) {
      continue;
    }
    ::MapWindowPoints(Hwnd(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    if (::PtInRect(&r, cursor)) {
      if (i != selected) ::SendMessageW(Hwnd(), LB_SETCURSEL, static_cast<WPARAM>(i), 0);
      return;
    }
  }
  if (selected != LB_ERR) ::SendMessageW(Hwnd(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

LRESULT CCstmListBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kReflectBase + WM_MEASUREITEM:
      MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
      return TRUE;
    case kReflectBase + WM_DRAWITEM:
      DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_MOUSEMOVE: {
      const LRESULT result = Default(message, wParam, lParam);
      TrackHover();
      return result;
    }
    case WM_SETFOCUS: {
      const LRESULT result = Default(message, wParam, lParam);
      if (Selection() == LB_ERR && ::SendMessageW(Hwnd(), LB_GETCOUNT, 0, 0) > 0) {
        ::SendMessageW(Hwnd(), LB_SETCURSEL, 0, 0);
      }
      return result;
    }
    case WM_KILLFOCUS: {
      const LRESULT result = Default(message, wParam, lParam);
      ::SendMessageW(Hwnd(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
      return result;
    }
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

void CCstmListBox::OnNcDestroy() {
  // The rows' records belong to the list and go with its window.
  records_.clear();
}
