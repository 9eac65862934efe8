#pragma once
#include <windows.h>

#include <cstddef>

#include "ui/completion_page.h"

class WizardController;
struct NotificationItem;

// What a page of the wizard may ask of the main window that holds it. Pages
// draw and forward their events to the wizard's decisions; they change no run
// state themselves.
class CPageHost {
 public:
  virtual ~CPageHost() = default;
  // The wizard's decisions, which take the pages' buttons, keys and the install worker's messages.
  virtual WizardController& Controller() = 0;
  // A left button press on a page (point in the page's coordinates) starts dragging the main window.
  virtual void BeginDrag(HWND from, POINT point) = 0;
  // The frame's minimize button, where the installation page puts the focus; null without one.
  virtual HWND FrameMinimizeButton() = 0;
  // The completion page's layout for the run's result, inside the frame or as the error screen.
  virtual CompletionLayout CompletionLayoutFor(bool inFrame) const = 0;
  // The notice behind a row of the notices list (NoticeRow::item); null when there is none.
  virtual const NotificationItem* NoticeItem(size_t item) const = 0;
};
