#pragma once
#include <windows.h>

#include "ui/completion_page.h"
#include "ui/font_rule.h"
#include "ui/win32/cstm_bitmap_button.h"
#include "ui/win32/cstm_static.h"
#include "ui/win32/gdi_owned.h"
#include "ui/win32/page_base.h"

// The completion page: the last step inside the frame, or the error screen
// that fills the window. It draws the layout the wizard decided for the
// result and forwards its buttons and links.
class CCompPPG : public CPageBase {
 public:
  CCompPPG(CPageHost& host, bool inFrame);

  bool BuildPage(const CompletionLayout& layout);

 protected:
  BOOL OnInitDialog() override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  bool PreTranslateMessage(MSG* message) override;

 private:
  bool SetupButton(CCstmBitmapButton* button, const ButtonLayout& layout, UINT msgSetFocus, UINT msgKillFocus,
                   UINT msgHover, UINT msgLeave);
  // The parts of the page in the order they are set up; false when one
  // could not be.
  void PlaceBackgroundAndIcon();
  bool SetupHeadline(const FontSpec& font);
  bool SetupBody(const FontSpec& font);
  bool SetupDownloadLinks(const FontSpec& font);
  bool SetupHelpLink(const FontSpec& font);
  int HelpLinkTextWidth();
  bool SetupFinishButton();
  bool SetupContinueButton();
  void ShowAndFocus(HWND button);
  bool SetupTitleButtons();
  void OnFocusNotification();
  void Click(int id);

  bool inFrame_;
  bool initialised_ = false;
  bool focusDone_ = false;
  HWND focusTarget_ = nullptr;
  CompletionLayout layout_;
  UniqueIcon icon_;
  CCstmStatic headline_;
  CCstmStatic body_;
  CCstmStatic helpLink_;
  CCstmStatic downloadLink_;
  CCstmStatic procedureLink_;
  CCstmBitmapButton finishButton_;
  CCstmBitmapButton continueButton_;
  CCstmBitmapButton minimizeButton_;
  CCstmBitmapButton closeButton_;
};
