// Operating-system classification on simulated machines.
#include <gtest/gtest.h>

#include "env/os_detection.h"
#include "tests/support/sim_machine_posix.h"

namespace {

TEST(OsDetection, MachineFactsGiveCodeAndSupport) {
  // major, minor, product type, architecture, WoW64, suite mask, R2, "at least 6.3" (-1: the machine's
  // default), native information -> code (-1: not asked), supported, 64-bit Windows.
  const int rows[][12] = {
      {6, 1, 3, 9, 1, 0, 0, -1, 1, 1, 0, 1},      {6, 0, 3, 9, 1, 0, 0, -1, 1, 2, 0, 1},
      {6, 0, 2, 0, 0, 0, 0, -1, 1, 3, 0, 0},      {5, 2, 3, 9, 1, 0, 1, -1, 1, 4, 0, 1},
      {5, 2, 3, 0, 0, 0, 1, -1, 1, 4, 0, 0},      {5, 2, 1, 0, 0, 0, 1, -1, 1, 5, 0, 0},
      {5, 2, 3, 9, 1, 0, 0, -1, 1, 6, 0, 1},      {5, 2, 3, 0, 0, 0, 0, -1, 1, 6, 0, 0},
      {5, 2, 1, 0, 0, 0, 0, -1, 1, 7, 0, 0},      {5, 0, 3, 0, 0, 0, 0, -1, 1, 8, 0, 0},
      {6, 1, 1, 9, 1, 0, 0, -1, 1, 9, 1, 1},      {6, 1, 1, 0, 0, 0, 0, -1, 1, 10, 1, 0},
      {6, 0, 1, 9, 1, 0, 0, -1, 1, 11, 0, 1},     {6, 0, 1, 0, 0, 0, 0, -1, 1, 12, 0, 0},
      {5, 2, 1, 9, 1, 0, 0, -1, 1, 13, 0, 1},     {5, 1, 1, 0, 0, 0, 0, -1, 1, 14, 0, 0},
      {5, 0, 1, 0, 0, 0, 0, -1, 1, 15, 0, 0},     {5, 2, 3, 9, 1, 0x2000, 0, -1, 1, 16, 0, 1},
      {5, 2, 3, 0, 0, 0x2000, 0, -1, 1, 16, 0, 0}, {5, 2, 1, 0, 0, 0x2000, 0, -1, 1, 17, 0, 0},
      {6, 1, 3, 9, 1, 0x8000, 0, -1, 1, 18, 0, 1}, {6, 2, 1, 0, 0, 0, 0, 0, 1, 19, 1, 0},
      {6, 2, 1, 9, 1, 0, 0, 0, 1, 20, 1, 1},      {6, 2, 3, 9, 1, 0, 0, 0, 1, 21, 0, 1},
      {6, 3, 1, 0, 0, 0, 0, -1, 1, 22, 1, 0},     {6, 2, 1, 0, 0, 0, 0, 1, 1, 22, 1, 0},  // 8.1 reporting 6.2
      {6, 3, 1, 9, 1, 0, 0, -1, 1, 23, 1, 1},     {6, 2, 1, 9, 1, 0, 0, 1, 1, 23, 1, 1},
      {6, 3, 3, 9, 1, 0, 0, -1, 1, 24, 0, 1},     {6, 2, 3, 9, 1, 0, 0, 1, 1, 24, 0, 1},
      {10, 0, 1, 0, 0, 0, 0, -1, 1, 25, 1, 0},    {10, 0, 1, 9, 1, 0, 0, -1, 1, 26, 1, 1},
      {10, 0, 3, 9, 1, 0, 0, -1, 1, 27, 0, 1},    {10, 0, 2, 9, 1, 0, 0, -1, 1, 27, 0, 1},
      // Unknown releases have no code; a workstation of a later release is still supported.
      {10, 1, 1, 9, 1, 0, 0, -1, 1, 0, 1, 1},     {6, 4, 1, 9, 1, 0, 0, -1, 1, 0, 1, 1},
      {11, 0, 1, 9, 1, 0, 0, -1, 1, 0, 1, 1},     {4, 0, 1, 0, 0, 0, 0, -1, 1, 0, 0, 0},
      {5, 3, 1, 0, 0, 0, 0, -1, 1, 0, 0, 0},      {10, 0, 1, 6, 1, 0, 0, -1, 1, 0, 1, 1},  // Itanium: no code
      {10, 0, 1, 5, 0, 0, 0, -1, 1, -1, 1, 0},
      // Without native information a process outside WoW64 still sees x64; one under WoW64 sees x86.
      {10, 0, 1, 9, 0, 0, 0, -1, 0, 26, 1, 0},    {10, 0, 1, 9, 1, 0, 0, -1, 0, 25, 1, 0},
  };
  for (const auto& r : rows) {
    tavo_test::SimMachine machine;
    machine.SetWindows(r[0], r[1], r[2], r[3], r[4]);
    machine.Set("Windows", "SuiteMask", std::to_string(r[5]));
    machine.Set("Windows", "R2", std::to_string(r[6]));
    if (r[7] >= 0) machine.Set("Windows", "AtLeast63", std::to_string(r[7]));
    machine.Set("Windows", "NativeInfo", std::to_string(r[8]));
    std::string where;
    for (int i = 0; i < 9; ++i) where += std::to_string(r[i]) + " ";
    if (r[9] >= 0) {
      EXPECT_EQ(r[9], GetOsCode()) << where;
      EXPECT_EQ(r[9] == 0, GetOsName().empty()) << where;
    }
    EXPECT_EQ(r[10] == 1, IsSupportedOs()) << where;
    EXPECT_EQ(r[11] == 1, IsWindows64Bit()) << where;
  }
  tavo_test::SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  machine.Set("Windows", "PlatformId", "1");  // not NT
  EXPECT_EQ(0, GetOsCode());
  EXPECT_FALSE(IsSupportedOs());
}

}  // namespace
