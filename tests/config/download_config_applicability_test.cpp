// The package filter: which packages of the download configuration this
// machine and this launcher fetch.
#include <gtest/gtest.h>

#include <memory>

#include "config/launch_settings.h"
#include "env/os_detection.h"
#include "net/package_download.h"
#ifndef _WIN32
#include "tests/support/sim_machine_posix.h"
#endif

namespace {

enum class Os { Any, ThisOne, Another };

struct Case {
  int32_t architecture, productType, settingsProductType;
  Os targetOs;
  int32_t isManual, manualType, launcherVersion;
  bool on64, on32;  // applicable on 64-bit and on 32-bit Windows
};

const Case kCases[] = {
    {99, 99, 1, Os::Any, 0, 99, 130, 1, 1},  {99, 97, 1, Os::Any, 0, 99, 130, 1, 1},  {99, 97, 6, Os::Any, 0, 0, 130, 1, 1},
    {99, 2, 2, Os::Any, 0, 1, 130, 1, 1},    {99, 2, 1, Os::Any, 0, 99, 130, 0, 0},   {1, 1, 1, Os::Any, 0, 99, 130, 1, 0},
    {0, 1, 1, Os::Any, 0, 99, 130, 0, 1},    {1, 5, 1, Os::Any, 0, 99, 130, 0, 0},    {0, 5, 1, Os::Any, 0, 99, 130, 0, 0},
    // 97 and 99 are no wildcard unless the architecture is 99.
    {1, 97, 1, Os::Any, 0, 99, 130, 0, 0},   {1, 97, 97, Os::Any, 0, 99, 130, 1, 0},  {0, 99, 1, Os::Any, 0, 99, 130, 0, 0},
    {0, 99, 99, Os::Any, 0, 99, 130, 0, 1},  {2, 1, 1, Os::Any, 0, 99, 130, 0, 0},
    {99, 99, 1, Os::ThisOne, 0, 99, 130, 1, 1}, {99, 99, 1, Os::Another, 0, 99, 130, 0, 0},
    {1, 1, 1, Os::ThisOne, 0, 99, 130, 1, 0},
    // Manual packages are never fetched, whatever their manual type.
    {99, 99, 1, Os::Any, 1, 99, 130, 0, 0},  {99, 99, 1, Os::Any, -1, 0, 130, 0, 0},  {99, 99, 1, Os::Any, 1, 1, 130, 0, 0},
    {99, 99, 1, Os::Any, 0, 1, 131, 1, 1},   {99, 99, 1, Os::Any, 0, 99, 129, 0, 0},  {99, 99, 1, Os::Any, 0, 99, 132, 0, 0},
    {99, 99, 1, Os::Any, 0, 99, 0, 0, 0},
};

// Every case on the machine the test runs on: the Windows the tests run under,
// or on Linux a simulated 64-bit and a simulated 32-bit machine.
void CheckEveryCase(const char* machine) {
  const bool is64 = IsWindows64Bit();
  const OsCode os = GetOsCode();
  ASSERT_NE(0, os) << machine;
  for (size_t i = 0; i < sizeof(kCases) / sizeof(kCases[0]); ++i) {
    const Case& c = kCases[i];
    PackageEntry entry;
    entry.PackageFileName = L"f.msi";
    entry.Architecture = c.architecture;
    entry.ProductType = c.productType;
    entry.TargetOS = c.targetOs == Os::Any ? 0 : c.targetOs == Os::ThisOne ? os : os + 1;
    entry.IsManual = c.isManual;
    entry.ManualType = c.manualType;
    entry.LauncherVersion = c.launcherVersion;
    LaunchSettings settings;
    settings.ProductType = c.settingsProductType;
    EXPECT_EQ(is64 ? c.on64 : c.on32, IsPackageApplicable(entry, settings)) << machine << ", case " << i;
  }
}

TEST(PackageApplicability, DecisionTable) {
#ifdef _WIN32
  CheckEveryCase("this Windows");
#else
  {
    tavo_test::SimMachine machine;
    machine.SetWindows(10, 0, 1, 9, 1);
    ASSERT_TRUE(IsWindows64Bit());
    CheckEveryCase("64-bit Windows 10");
  }
  tavo_test::SimMachine machine;
  machine.SetWindows(6, 1, 1, 0, 0);
  ASSERT_FALSE(IsWindows64Bit());
  CheckEveryCase("32-bit Windows 7");
#endif
}

}  // namespace
