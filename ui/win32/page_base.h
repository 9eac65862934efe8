#pragma once
#include <windows.h>

#include "ui/win32/dialog_base.h"
#include "ui/win32/gdi_owned.h"
#include "ui/win32/page_host.h"

// A bitmap held in a memory device context, painted as a window's background.
class CBackground {
 public:
  CBackground() = default;
  ~CBackground();
  CBackground(const CBackground&) = delete;
  CBackground& operator=(const CBackground&) = delete;

  // Loads the bitmap resource into a surface compatible with the window's;
  // height 0 takes the image's own height.
  bool Load(HWND window, int id, int height = 0);
  void Paint(HDC dc) const;
  bool Loaded() const { return static_cast<bool>(bitmap_); }
  int ImageId() const { return imageId_; }

 private:
  void Release();
  UniqueBitmap bitmap_;
  MemoryDc dc_;
  HGDIOBJ oldBitmap_ = nullptr;
  int imageId_ = 0;
  int width_ = 0;
  int height_ = 0;
};

// A page of the wizard: a child dialog painted from a bitmap, from any point
// of which the main window can be dragged. It knows its host only through
// what a page may ask of it.
class CPageBase : public CDialogBase {
 public:
  CPageBase(UINT templateId, CPageHost& host);

  // Creates the page as a child at the place given, without a caption and
  // with its controls part of the parent's keyboard navigation. Not shown.
  bool CreatePage(HWND parent, int x, int y, int width, int height);
  bool LoadBackground(int id, int height = 0);
  const CBackground& Background() const { return background_; }

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  CPageHost& host_;
  CBackground background_;
};

// The virtual-key code of a key press, 0 for any other message.
UINT KeyDownCode(const MSG* message);
