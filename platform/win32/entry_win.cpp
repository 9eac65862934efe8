#include <windows.h>

#include "app/startup/setup_app.h"

// The launcher sets no exit status of its own: the start-up sequence returns
// only when the wizard has closed.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  CSetupApp app;
  app.InitInstance();
  return 0;
}
