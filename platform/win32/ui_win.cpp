#include "platform/ui.h"

#include <windows.h>
#include <commctrl.h>

namespace platform {
void InitializeCommonControls() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_WIN95_CLASSES;
  InitCommonControlsEx(&controls);
}
}  // namespace platform
