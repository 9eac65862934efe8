#pragma once
#include <windows.h>

#include <string>

#include "ui/win32/control_base.h"
#include "ui/win32/gdi_owned.h"

// A text label that chooses its own font, text colour and background, and in
// link mode turns bold and coloured while it holds the focus, showing its
// buddy frame.
class CCstmStatic : public CControlBase {
 public:
  CCstmStatic();
  ~CCstmStatic() override;

  // Takes over the label; it gets the notify style first so that it reports
  // clicks and can hold the focus.
  bool Attach(HWND dialog, int id);

  void SetTextColour(COLORREF colour);
  void SetBold(bool bold);
  void SetUnderline(bool underline);
  void SetFaceName(const std::wstring& face);
  void SetFontHeight(LONG height);
  bool RecreateFont();
  void SetBackgroundColour(COLORREF colour);
  void SetWhiteBackground();
  bool LoadHandCursor();
  void SetUseHandCursor(bool use) { useHandCursor_ = use; }
  // Link mode: bold and the link colour while focused, the buddy (a frame)
  // shown while focused.
  void MakeLink(HWND buddy);
  bool IsLink() const { return linkMode_; }
  void Redraw();

  HFONT Font() const { return font_.get(); }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  UniqueFont font_;
  LOGFONTW logFont_{};
  COLORREF textColour_;
  UniqueBrush background_;
  UniqueBrush fallbackBrush_;
  HCURSOR handCursor_ = nullptr;
  bool useHandCursor_ = false;
  bool boldOnFocus_ = false;
  bool linkMode_ = false;
  COLORREF focusColour_ = 0;
  COLORREF normalColour_ = 0;
  HWND buddy_ = nullptr;
  bool bold_ = false;
  LONG weightBeforeBold_ = FW_NORMAL;
};
