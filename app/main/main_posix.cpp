#include "app/startup/setup_app.h"
#include "platform/posix/machine.h"

int main(int argc, char** argv) {
  platform::posix::SetProcessArguments(argc, argv);
  CSetupApp app;
  app.InitInstance();
  // The launcher reports no outcome through its exit status.
  return 0;
}
