#include <gtest/gtest.h>

#include "tests/support/test_env.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  tavo_test::InitTestEnvironment(argc, argv);
  return RUN_ALL_TESTS();
}
