// The package filter on simulated 32-bit and 64-bit machines.
#include <gtest/gtest.h>

#include <string>

#include "config/launch_settings.h"
#include "env/os_detection.h"
#include "net/package_download.h"
#include "tests/config/download_config_applicability_cases.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using applicability::Case;
using applicability::Os;

PackageEntry EntryFor(const Case& c, OsCode machineOs) {
  PackageEntry entry;
  entry.PackageVersion = L"1";
  entry.PackageName = L"n";
  entry.PackageHash = L"0";
  entry.PackageFileName = L"f.msi";
  entry.Architecture = c.architecture;
  entry.ProductType = c.productType;
  entry.TargetOS = c.targetOs == Os::Any ? 0 : c.targetOs == Os::ThisOne ? machineOs : machineOs + 1;
  entry.IsManual = c.isManual;
  entry.LauncherVersion = c.launcherVersion;
  return entry;
}

class ApplicabilityTest : public ::testing::TestWithParam<Case> {};

TEST_P(ApplicabilityTest, On64BitWindows) {
  const Case& c = GetParam();
  tavo_test::SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  ASSERT_TRUE(IsWindows64Bit());
  OsCode os = GetOsCode();
  ASSERT_NE(0, os);
  LaunchSettings settings;
  settings.ProductType = c.settingsProductType;
  EXPECT_EQ(c.on64, IsPackageApplicable(EntryFor(c, os), settings));
}

TEST_P(ApplicabilityTest, On32BitWindows) {
  const Case& c = GetParam();
  tavo_test::SimMachine machine;
  machine.SetWindows(6, 1, 1, 0, 0);
  ASSERT_FALSE(IsWindows64Bit());
  OsCode os = GetOsCode();
  ASSERT_NE(0, os);
  LaunchSettings settings;
  settings.ProductType = c.settingsProductType;
  EXPECT_EQ(c.on32, IsPackageApplicable(EntryFor(c, os), settings));
}

INSTANTIATE_TEST_SUITE_P(Rules, ApplicabilityTest, ::testing::ValuesIn(applicability::kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(Applicability, ManualTypeDoesNotMatter) {
  tavo_test::SimMachine machine;
  LaunchSettings settings;
  PackageEntry entry;
  entry.Architecture = 99;
  entry.ProductType = 99;
  for (int32_t manualType : {0, 1, 99}) {
    entry.ManualType = manualType;
    entry.IsManual = 0;
    EXPECT_TRUE(IsPackageApplicable(entry, settings));
    entry.IsManual = 1;
    EXPECT_FALSE(IsPackageApplicable(entry, settings));
  }
}

}  // namespace
