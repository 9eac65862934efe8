// The registry and WMI of a 64-bit Wine prefix, where this 32-bit test runs under WoW64 as the launcher does.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "env/conflict_detection.h"
#include "env/installed_edition.h"
#include "env/os_detection.h"
#include "env/security_center.h"
#include "platform/sysinfo.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"

namespace {

using Names = std::vector<std::wstring>;

class EnvMachineWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Without WoW64 there is no second view, and the view tests would prove nothing.
    // A 32-bit test meets the views through WoW64, the 64-bit test build natively.
    ASSERT_TRUE(platform::IsWow64Process() || sizeof(void*) == 8) << "the tests need a 64-bit Wine prefix (WINEARCH=win64)";
  }
  void TearDown() override {
    for (const auto& [subkey, view] : created_) {
      HKEY key = nullptr;
      if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) continue;
      ::RegDeleteTreeW(key, nullptr);
      ::RegCloseKey(key);
      ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), view, 0);
    }
  }
  // Creates a key in one view with string values; removed, with what is under it, after the test.
  void CreateKey(const std::wstring& subkey, REGSAM view, const std::vector<std::pair<std::wstring, std::wstring>>& values) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                                               nullptr, &key, nullptr));
    created_.insert(created_.begin(), {subkey, view});
    for (const auto& [name, text] : values) {
      ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    }
    ::RegCloseKey(key);
  }
  const std::wstring unique_ = L"TavoEnvTest" + std::to_wstring(::GetCurrentProcessId());
  std::vector<std::pair<std::wstring, REGSAM>> created_;
};

// What the launcher learns of the prefix: the 32-bit build knows it runs under WoW64, the 64-bit test build that it
// does not; both that the machine is 64-bit, and the system's name says so.
TEST_F(EnvMachineWinTest, TheMachineIs64BitAndOnlyA32BitProgramRunsUnderWoW64) {
  const bool build32 = sizeof(void*) == 4;
  EXPECT_EQ(build32, platform::IsWow64Process());
  EXPECT_EQ(build32 ? platform::kArchitectureX86 : platform::kArchitectureX64, platform::GetSystemArchitecture());
  uint16_t native = 0;
  ASSERT_TRUE(platform::GetNativeArchitecture(&native));
  EXPECT_EQ(platform::kArchitectureX64, native);
  EXPECT_TRUE(IsWindows64Bit());
  const std::wstring name = GetOsName();
  EXPECT_TRUE(name.size() > 4 && name.compare(name.size() - 4, 4, L" x64") == 0) << platform::WideToUtf8(name);
}

TEST_F(EnvMachineWinTest, ConflictsAreLookedUpInThe64BitViewAndWithoutASecurityCenter) {
  const std::wstring only64 = L"SOFTWARE\\" + unique_ + L"64", only32 = L"SOFTWARE\\" + unique_ + L"32";
  CreateKey(only64, KEY_WOW64_64KEY, {});
  CreateKey(only32, KEY_WOW64_32KEY, {});
  LauncherContext context;
  context.Settings.ConflictPackages = {{L"32", only32}, {L"64", only64}};
  tavo_test::LogCapture log;
  ASSERT_TRUE(DetectConflicts(context.Settings, &context));
  EXPECT_EQ(Names{L"64"}, context.DetectedConflictNames);
  // Wine has no Security Center: every query fails, and that is no conflict.
  std::vector<SecurityCenterProduct> products;
  ASSERT_FALSE(QueryAntiVirusProducts(&products)) << "this Wine reports a Security Center; the test assumes none";
  EXPECT_FALSE(QueryAntiSpywareProducts(&products) || QueryFirewallProducts(&products));
  EXPECT_TRUE(products.empty());
  context.Settings.ConflictPackages.clear();
  EXPECT_FALSE(DetectConflicts(context.Settings, &context));
  EXPECT_TRUE(context.DetectedConflictNames.empty());
  EXPECT_FALSE(context.SecurityCenterConflict);
}

TEST_F(EnvMachineWinTest, InstalledEditionIsReadInThe64BitView) {
  std::wstring info = kInstalledProductInfoKey;
  if (info.back() == L'\\') info.pop_back();
  const std::wstring top = info.substr(0, info.find(L'\\', 9));  // the vendor's key under SOFTWARE
  // The vendor's key of a run of this test that crashed carries its mark and goes; any other is a product of the
  // prefix, which the test neither deletes nor passes over.
  const wchar_t kMark[] = L"LeftByEnvMachineWinTest";
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, top.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) continue;
    const bool ours = ::RegQueryValueExW(key, kMark, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    if (ours) ::RegDeleteTreeW(key, nullptr);
    ::RegCloseKey(key);
    ASSERT_TRUE(ours && ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, top.c_str(), view, 0) == ERROR_SUCCESS)
        << "the prefix holds a product key (" << platform::WideToUtf8(top) << ") that this test did not leave";
  }
  CreateKey(top, KEY_WOW64_32KEY, {{kMark, L"1"}});
  CreateKey(info, KEY_WOW64_32KEY, {{L"ProductName", EditionProductName(ProductEdition::TVG)}, {L"ProductVersion", L"8.0"}});
  std::wstring text;
  EXPECT_FALSE(IsAnyEditionInstalled() || GetInstalledProductVersion(&text)) << "only the 32-bit view holds the product";
  CreateKey(top, KEY_WOW64_64KEY, {{kMark, L"1"}});
  CreateKey(info, KEY_WOW64_64KEY, {{L"ProductName", EditionProductName(ProductEdition::TTSP)}, {L"ProductVersion", L"10.0.1"}});
  EXPECT_TRUE(IsEditionInstalled(ProductEdition::TTSP));
  EXPECT_FALSE(IsTtsOrTvgInstalled());
  ASSERT_TRUE(GetInstalledProductVersion(&text));
  EXPECT_EQ(L"10.0.1", text);
}

}  // namespace
