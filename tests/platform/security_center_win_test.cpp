// The WMI backend of the Security Center queries. Wine has no Security Center namespace, so the mechanics (connection,
// proxy security, query, properties read by name) are shown on the system services, whose class carries a "DisplayName"
// too (WMI property names ignore case).
#include <gtest/gtest.h>
#include <windows.h>
#include <wbemidl.h>

#include <vector>

#include "platform/error.h"
#include "platform/security_center.h"

namespace {

using Records = std::vector<platform::SecurityCenterRecord>;

TEST(SecurityCenterWin, InstancesAreAppendedAndMissingPropertiesStayEmpty) {
  Records records(1);
  records[0].displayName = L"kept";
  ASSERT_TRUE(platform::QuerySecurityCenter(L"ROOT\\CIMV2", L"SELECT * FROM Win32_Service", &records));
  ASSERT_GT(records.size(), 2u);
  EXPECT_EQ(L"kept", records[0].displayName);
  for (size_t i = 1; i < records.size(); ++i) {
    EXPECT_FALSE(records[i].displayName.empty());
    EXPECT_TRUE(records[i].pathToSignedProductExe.empty());
    EXPECT_FALSE(records[i].hasProductState);
  }
  records.clear();
  ASSERT_TRUE(platform::QuerySecurityCenter(L"ROOT\\CIMV2", L"SELECT * FROM Win32_Service WHERE Name = 'TavoNone'",
                                            &records));
  EXPECT_TRUE(records.empty());
  EXPECT_FALSE(platform::QuerySecurityCenter(L"ROOT\\TavoNoSuchNamespace", L"SELECT * FROM AntiVirusProduct", &records));
  EXPECT_EQ(static_cast<uint32_t>(WBEM_E_INVALID_NAMESPACE), platform::LastError());
}

}  // namespace
