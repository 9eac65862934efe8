#pragma once
#include <windows.h>

#include <memory>

#include "ui/win32/cstm_bitmap_button.h"
#include "ui/win32/gdi_owned.h"
#include "ui/win32/page_base.h"
#include "ui/wizard_controller.h"

class CInfoPPG;
class CStatusPPG;
class CCompPPG;

// The frame screen: the column of step indicators, the title-bar buttons and
// one step page at a time.
class CFramePPG : public CPageBase {
 public:
  explicit CFramePPG(CPageHost& host);
  ~CFramePPG() override;

  // Hides the page shown, lights the indicators of the step and shows its page.
  void ShowStep(const ScreenState& screen);
  int32_t ShownStep() const { return shownStep_; }
  HWND StepPageWindow(int32_t step) const;

  CInfoPPG* NoticesPage() { return noticesPage_.get(); }
  CStatusPPG* StatusPage() { return statusPage_.get(); }
  CCompPPG* CompletionPage() { return completionPage_.get(); }
  HWND MinimizeButton() const { return minimizeButton_.Hwnd(); }
  HWND CloseButton() const { return closeButton_.Hwnd(); }
  // The image shown now by an indicator (0 when hidden).
  int IndicatorImage(int control) const;

 protected:
  BOOL OnInitDialog() override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  bool PreTranslateMessage(MSG* message) override;

 private:
  bool InitControls();
  void ShowStepPage(int32_t step, int showCommand, const ScreenState& screen);
  void PlacePicture(int control, const PicturePlacement& placement);

  CCstmBitmapButton minimizeButton_;
  CCstmBitmapButton closeButton_;
  std::unique_ptr<CInfoPPG> noticesPage_;
  std::unique_ptr<CStatusPPG> statusPage_;
  std::unique_ptr<CCompPPG> completionPage_;
  int32_t shownStep_ = kNoStepYet;
  bool firstFocusDone_ = false;
  struct Picture {
    int control;
    UniqueBitmap bitmap;
    int image;
  };
  Picture pictures_[6];
};
