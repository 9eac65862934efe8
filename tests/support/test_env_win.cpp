#include "tests/support/test_env.h"

#include "platform/com.h"

namespace tavo_test {
// The Windows process has its own command line and machine; the tests read
// XML on the main thread, which needs the thread's component library, as
// every reading thread of the launcher has.
void InitTestEnvironment(int, char**) { platform::InitializeThreadComponents(); }
}  // namespace tavo_test
