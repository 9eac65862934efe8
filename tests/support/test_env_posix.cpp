#include <cstdlib>

#include "platform/posix/process_posix.h"
#include "tests/support/test_env.h"

namespace tavo_test {
void InitTestEnvironment(int argc, char** argv) {
  platform::posix::SetProcessArguments(argc, argv);
  ::unsetenv("SETUP_MACHINE");
}
}  // namespace tavo_test
