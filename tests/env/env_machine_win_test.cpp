// Environment checks against the real registry and WMI of a 64-bit Wine
// prefix, where this 32-bit test runs under WoW64 as the launcher does on a
// customer's 64-bit Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "env/conflict_detection.h"
#include "env/installed_edition.h"
#include "env/security_center.h"
#include "platform/sysinfo.h"
#include "tests/support/log_capture.h"

namespace {

using Names = std::vector<std::wstring>;

class EnvMachineWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Without WoW64 there is no second view, and the view tests would prove nothing.
    ASSERT_TRUE(platform::IsWow64Process()) << "the tests need a 64-bit Wine prefix (WINEARCH=win64)";
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

TEST_F(EnvMachineWinTest, ConflictsAreLookedUpInThe64BitView) {
  const std::wstring only64 = L"SOFTWARE\\" + unique_ + L"64", only32 = L"SOFTWARE\\" + unique_ + L"32";
  CreateKey(only64, KEY_WOW64_64KEY, {});
  CreateKey(only32, KEY_WOW64_32KEY, {});
  LauncherContext context;
  context.Settings.ConflictPackages = {{L"32", only32}, {L"64", only64}};
  tavo_test::LogCapture log;
  ASSERT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(Names{L"64"}, context.DetectedConflictNames);
  // The installed software of the 64-bit root and of the 32-bit products' root, each entry once.
  const std::wstring uninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + unique_;
  CreateKey(uninstall + L"a", KEY_WOW64_64KEY, {{L"DisplayName", L"Contoso " + unique_}, {L"InstallLocation", L"C:\\C\\"}});
  CreateKey(uninstall + L"b", KEY_WOW64_32KEY, {{L"DisplayName", L"Fabrikam " + unique_}});
  CreateKey(uninstall + L"c", KEY_WOW64_64KEY, {{L"DisplayVersion", L"1"}});
  Names found;
  for (const InstalledSoftwareEntry& entry : ReadInstalledSoftwareList()) {
    EXPECT_FALSE(entry.DisplayName.empty()) << "entries without a name are dropped";
    if (entry.DisplayName.find(unique_) != std::wstring::npos) found.push_back(entry.DisplayName + L"@" + entry.KeyPath);
  }
  EXPECT_EQ((Names{L"Contoso " + unique_ + L"@" + uninstall + L"a\\",
                   L"Fabrikam " + unique_ + L"@SOFTWARE\\Wow6432Node" + uninstall.substr(8) + L"b\\"}), found);
  context.Settings.ConflictPackages.clear();
  context.Settings.ConflictSoftwareNames = {L"contoso " + unique_, L"FABRIKAM " + unique_};
  ASSERT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(2u, context.DetectedConflictNames.size());
}

TEST_F(EnvMachineWinTest, InstalledEditionIsReadInThe64BitView) {
  std::wstring info = kInstalledProductInfoKey;
  if (info.back() == L'\\') info.pop_back();
  const std::wstring top = info.substr(0, info.find(L'\\', 9));  // the vendor's key under SOFTWARE
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, top.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
      ::RegCloseKey(key);
      GTEST_SKIP() << "the prefix holds a product key of its own; it is left alone";
    }
  }
  CreateKey(top, KEY_WOW64_32KEY, {});
  CreateKey(info, KEY_WOW64_32KEY, {{L"ProductName", EditionProductName(ProductEdition::TVG)}, {L"ProductVersion", L"8.0"}});
  std::wstring text;
  EXPECT_FALSE(IsAnyEditionInstalled() || GetInstalledProductVersion(&text)) << "only the 32-bit view holds the product";
  CreateKey(top, KEY_WOW64_64KEY, {});
  CreateKey(info, KEY_WOW64_64KEY, {{L"ProductName", EditionProductName(ProductEdition::TTSP)}, {L"ProductVersion", L"10.0.1"}});
  EXPECT_TRUE(IsEditionInstalled(ProductEdition::TTSP));
  EXPECT_FALSE(IsTtsOrTvgInstalled());
  ASSERT_TRUE(GetInstalledProductVersion(&text));
  EXPECT_EQ(L"10.0.1", text);
}

// Wine has no Security Center: every query fails, and that is no conflict.
TEST_F(EnvMachineWinTest, NoSecurityCenterMeansNoConflict) {
  std::vector<SecurityCenterProduct> products;
  ASSERT_FALSE(QueryAntiVirusProducts(&products)) << "this Wine reports a Security Center; the test assumes none";
  EXPECT_FALSE(QueryAntiSpywareProducts(&products) || QueryFirewallProducts(&products));
  EXPECT_TRUE(products.empty());
  LauncherContext context;
  tavo_test::LogCapture log;
  EXPECT_FALSE(DetectConflicts(&context));
  EXPECT_TRUE(context.DetectedConflictNames.empty());
  EXPECT_FALSE(context.SecurityCenterConflict);
}

}  // namespace
