#pragma once
#include <windows.h>

#include "ui/win32/cstm_bitmap_button.h"
#include "ui/win32/cstm_list_box.h"
#include "ui/win32/cstm_static.h"
#include "ui/win32/gdi_owned.h"
#include "ui/win32/page_base.h"

// Step 0: the notices page. It lists the notices that apply, each in its own
// colour; a press on a row opens the notice's page, the confirm button moves
// on to the installation.
class CInfoPPG : public CPageBase {
 public:
  explicit CInfoPPG(CPageHost& host);
  ~CInfoPPG() override;

  bool PrepareControls();
  CCstmListBox& List() { return list_; }
  HWND ConfirmButton() const { return confirmButton_.Hwnd(); }

 protected:
  BOOL OnInitDialog() override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  bool PreTranslateMessage(MSG* message) override;

 private:
  void OpenSelectedNotice();

  UniqueFont listFont_;
  UniqueIcon icon_;
  CCstmStatic title_;
  CCstmStatic description_;
  CCstmStatic warning_;
  CCstmStatic instruction_;
  CCstmListBox list_;
  CCstmBitmapButton confirmButton_;
};

// The result icon at the top left of a page, at the size it is drawn.
HICON LoadResultIcon();
