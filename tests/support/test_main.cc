#include <gtest/gtest.h>

#ifdef _WIN32
#include "platform/com.h"
#else
#include <cstdlib>

#include "platform/posix/process_posix.h"
#endif

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
  // The Windows process has its own command line and machine; the tests read XML on the main thread, which needs the
  // thread's component library, as every reading thread of the launcher has.
  platform::InitializeThreadComponents();
#else
  // Its own argument vector on the simulated machine, and no machine selected until a test selects one.
  platform::posix::SetProcessArguments(argc, argv);
  ::unsetenv("SETUP_MACHINE");
#endif
  return RUN_ALL_TESTS();
}
