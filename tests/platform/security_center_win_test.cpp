// The WMI backend of the Security Center queries. Wine has no Security Center
// namespace, so the mechanics (connection, proxy security, query, reading the
// properties by name) are shown on the system services, whose class carries a
// "DisplayName" too (WMI property names ignore case).
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>
#include <wbemidl.h>

#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/security_center.h"

namespace {

TEST(SecurityCenterWin, InstancesAreReadAndAppended) {
  std::vector<platform::SecurityCenterRecord> records(1);
  records[0].displayName = L"kept";
  ASSERT_TRUE(platform::QuerySecurityCenter(L"ROOT\\CIMV2", L"SELECT * FROM Win32_Service", &records));
  ASSERT_GT(records.size(), 2u);
  EXPECT_EQ(L"kept", records[0].displayName);
  size_t named = 0;
  for (size_t i = 1; i < records.size(); ++i) {
    if (!records[i].displayName.empty()) ++named;
    // A property the class does not have stays empty.
    EXPECT_TRUE(records[i].pathToSignedProductExe.empty());
    EXPECT_FALSE(records[i].hasProductState);
    EXPECT_EQ(0u, records[i].productState);
  }
  EXPECT_EQ(records.size() - 1, named);
}

TEST(SecurityCenterWin, QueryWithoutInstancesRunsAndAddsNothing) {
  std::vector<platform::SecurityCenterRecord> records;
  ASSERT_TRUE(platform::QuerySecurityCenter(
      L"ROOT\\CIMV2", L"SELECT * FROM Win32_Service WHERE Name = 'TavoNoSuchService'", &records));
  EXPECT_TRUE(records.empty());
}

TEST(SecurityCenterWin, SecurityCenterNamespaceRunsWhereTheSystemHasIt) {
  std::vector<platform::SecurityCenterRecord> records;
  platform::SetLastError(0);
  if (platform::QuerySecurityCenter(L"ROOT\\SecurityCenter2", L"SELECT * FROM AntiVirusProduct", &records)) {
    for (const auto& r : records) EXPECT_FALSE(r.displayName.empty());
  } else {
    EXPECT_EQ(static_cast<uint32_t>(WBEM_E_INVALID_NAMESPACE), platform::LastError());
    EXPECT_TRUE(records.empty());
  }
}

TEST(SecurityCenterWin, UnknownNamespaceFailsWithTheError) {
  std::vector<platform::SecurityCenterRecord> records;
  platform::SetLastError(0);
  EXPECT_FALSE(platform::QuerySecurityCenter(L"ROOT\\TavoNoSuchNamespace", L"SELECT * FROM AntiVirusProduct",
                                             &records));
  EXPECT_EQ(static_cast<uint32_t>(WBEM_E_INVALID_NAMESPACE), platform::LastError());
  EXPECT_TRUE(records.empty());
}

TEST(SecurityCenterWin, RunsOnThreadsOfEitherApartmentAndLeavesThemAsTheyWere) {
  for (DWORD model : {static_cast<DWORD>(COINIT_MULTITHREADED), static_cast<DWORD>(COINIT_APARTMENTTHREADED)}) {
    bool ran = false;
    HRESULT after = E_FAIL;
    std::thread worker([&] {
      ::CoInitializeEx(nullptr, model);
      std::vector<platform::SecurityCenterRecord> records;
      ran = platform::QuerySecurityCenter(L"ROOT\\CIMV2", L"SELECT * FROM Win32_Service", &records) &&
            !records.empty();
      // The thread's own initialisation is still in force: asking again gives S_FALSE.
      after = ::CoInitializeEx(nullptr, model);
      if (SUCCEEDED(after)) ::CoUninitialize();
      ::CoUninitialize();
    });
    worker.join();
    EXPECT_TRUE(ran) << model;
    EXPECT_EQ(S_FALSE, after) << model;
  }

  // A thread that never initialised itself is left uninitialised.
  HRESULT fresh = E_FAIL;
  std::thread worker([&] {
    std::vector<platform::SecurityCenterRecord> records;
    platform::QuerySecurityCenter(L"ROOT\\CIMV2", L"SELECT * FROM Win32_Service", &records);
    fresh = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(fresh)) ::CoUninitialize();
  });
  worker.join();
  EXPECT_EQ(S_OK, fresh);
}

}  // namespace
