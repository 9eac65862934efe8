#include <windows.h>

#include "app/startup/setup_app.h"
#include "platform/process_hardening.h"

// The start-up sequence returns only when the wizard has closed; the exit code
// is 0, or the outcome of a silent run.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything can load a library: a DLL left beside Setup.exe in
  // Downloads or in the temporary folder must never be loaded.
  platform::RestrictDllSearchToSystemFolder();
  CSetupApp app;
  app.InitInstance();
  return app.ExitCode();
}
