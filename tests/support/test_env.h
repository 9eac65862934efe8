#pragma once

namespace tavo_test {
// Prepares the process for tests: its own argument vector on the simulated
// machine, and no machine selected until a test selects one.
void InitTestEnvironment(int argc, char** argv);
}  // namespace tavo_test
