// The package filter on the machine the tests run on (a 64-bit Windows).
#include <gtest/gtest.h>

#include <string>

#include "config/launch_settings.h"
#include "env/os_detection.h"
#include "net/package_download.h"
#include "tests/config/download_config_applicability_cases.h"

namespace {

using applicability::Case;
using applicability::Os;

class ApplicabilityOnWindowsTest : public ::testing::TestWithParam<Case> {};

TEST_P(ApplicabilityOnWindowsTest, FollowsTheRules) {
  const Case& c = GetParam();
  const bool is64 = IsWindows64Bit();
  const OsCode os = GetOsCode();
  ASSERT_NE(0, os);
  PackageEntry entry;
  entry.Architecture = c.architecture;
  entry.ProductType = c.productType;
  entry.TargetOS = c.targetOs == Os::Any ? 0 : c.targetOs == Os::ThisOne ? os : os + 1;
  entry.IsManual = c.isManual;
  entry.LauncherVersion = c.launcherVersion;
  LaunchSettings settings;
  settings.ProductType = c.settingsProductType;
  EXPECT_EQ(is64 ? c.on64 : c.on32, IsPackageApplicable(entry, settings));
}

INSTANTIATE_TEST_SUITE_P(Rules, ApplicabilityOnWindowsTest, ::testing::ValuesIn(applicability::kCases),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
