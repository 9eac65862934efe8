#pragma once
#include <windows.h>

#include "ui/win32/control_base.h"
#include "ui/win32/gdi_owned.h"

// A push button drawn from bitmaps: normal, pressed, focused and disabled
// images, swapped for the hover set while the mouse rests on it. It tells its
// page when it gains or loses the focus and when the mouse comes or goes.
class CCstmBitmapButton : public CControlBase {
 public:
  // The four images the button draws with; the normal one is required.
  bool LoadBitmaps(int normal, int pressed, int focus, int disabled);
  // Sizes the button to its normal image.
  void SizeToContent();

  bool notifyFocus = false;
  bool notifyHover = false;
  HWND notifyWindow = nullptr;
  UINT msgSetFocus = 0;
  UINT msgKillFocus = 0;
  UINT msgHover = 0;
  UINT msgLeave = 0;
  int imgHoverFocus = 0;
  int imgHover = 0;
  int imgFocus = 0;
  int imgNormal = 0;
  int imgPressed = 0;
  int imgDisabled = 0;
  bool useHandCursor = false;
  HCURSOR handCursor = nullptr;
  bool hovering = false;

  // The resource IDs of the images loaded now (normal, pressed, focus, disabled).
  int LoadedImage(int slot) const { return loadedIds_[slot]; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Notify(bool enabled, UINT message);
  void DrawItem(const DRAWITEMSTRUCT* item);
  void ReleaseBitmaps();

  UniqueBitmap bitmaps_[4];
  int loadedIds_[4] = {};
};
