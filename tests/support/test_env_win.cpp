#include "tests/support/test_env.h"

namespace tavo_test {
// The Windows process has its own command line and machine.
void InitTestEnvironment(int, char**) {}
}  // namespace tavo_test
