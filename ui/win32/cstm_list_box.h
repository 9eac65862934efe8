#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "ui/win32/control_base.h"

// The notices list: an owner-drawn list box with rows of their own colours,
// word-wrapped to the list's width and as tall as their text; the row under
// the mouse is the selection. Each row carries a caller's pointer.
class CCstmListBox : public CControlBase {
 public:
  CCstmListBox();
  ~CCstmListBox() override;

  bool Attach(HWND dialog, int id);

  // Adds a row; returns its index, negative on failure.
  int AddItem(const std::wstring& text, COLORREF textColour, COLORREF backgroundColour, const void* payload);
  // The pointer of a row; null when the index is beyond the rows.
  const void* Payload(int index) const;
  int Selection() const;

  bool LoadHandCursor();
  void SetUseHandCursor(bool use) { useHandCursor_ = use; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnNcDestroy() override;

 private:
  struct ItemRecord {
    std::wstring text;
    COLORREF textColour;
    COLORREF backgroundColour;
  };
  void MeasureItem(MEASUREITEMSTRUCT* item);
  void DrawItem(const DRAWITEMSTRUCT* item);
  void TrackHover();

  bool useHandCursor_ = false;
  HCURSOR handCursor_ = nullptr;
  std::vector<const void*> payloads_;
  std::vector<std::unique_ptr<ItemRecord>> records_;
  const std::wstring* measuring_ = nullptr;  // the text of the row being added
};
