#include "app/startup/setup_app.h"
#include "platform/posix/exit_code_channel.h"
#include "platform/posix/process_posix.h"

int main(int argc, char** argv) {
  platform::posix::SetProcessArguments(argc, argv);
  CSetupApp app;
  app.InitInstance();
  // 0, or the outcome of a silent run; a status keeps only 8 bits, so the
  // whole code also goes to a waiting parent's channel, as on Windows.
  const int code = app.ExitCode();
  platform::posix::ReportFullExitCode(static_cast<uint32_t>(code));
  return code;
}
