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

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool KeyExists(const std::wstring& subkey, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

class EnvMachineWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Without WoW64 there is no second view, and the view tests would prove nothing.
    ASSERT_TRUE(platform::IsWow64Process()) << "the tests need a 64-bit Wine prefix (WINEARCH=win64)";
    prefix_ = L"TavoEnvTest" + std::to_wstring(::GetCurrentProcessId()) + L"_";
  }
  void TearDown() override {
    for (const auto& key : created_) {
      HKEY handle = nullptr;
      if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.first.c_str(), 0, KEY_ALL_ACCESS | key.second, &handle) == ERROR_SUCCESS) {
        ::RegDeleteTreeW(handle, nullptr);
        ::RegCloseKey(handle);
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.first.c_str(), key.second, 0);
      }
    }
  }
  // Creates a key in the given view with string values; removed after the test.
  void CreateKey(const std::wstring& subkey, REGSAM view, const std::vector<std::pair<std::wstring, std::wstring>>& values) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                                               nullptr, &key, nullptr));
    created_.insert(created_.begin(), {subkey, view});
    for (const auto& value : values) {
      ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key, value.first.c_str(), 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(value.second.c_str()),
                                                static_cast<DWORD>((value.second.size() + 1) * sizeof(wchar_t))));
    }
    ::RegCloseKey(key);
  }
  std::wstring prefix_;
  std::vector<std::pair<std::wstring, REGSAM>> created_;
};

TEST_F(EnvMachineWinTest, ConflictsAreLookedUpInThe64BitView) {
  const std::wstring only64 = L"SOFTWARE\\" + prefix_ + L"Only64", only32 = L"SOFTWARE\\" + prefix_ + L"Only32";
  CreateKey(only64, KEY_WOW64_64KEY, {{L"Version", L"1"}});
  CreateKey(only32, KEY_WOW64_32KEY, {{L"Version", L"1"}});
  ASSERT_FALSE(KeyExists(only32, KEY_WOW64_64KEY));
  LauncherContext context;
  context.Settings.ConflictPackages = {{L"32", only32}, {L"64", only64}};
  tavo_test::LogCapture log;
  ASSERT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(std::vector<std::wstring>{L"64"}, context.DetectedConflictNames);

  // The installed-software list: the 64-bit root and the 32-bit products' root, each entry once.
  CreateKey(kUninstall + prefix_ + L"64", KEY_WOW64_64KEY,
            {{L"DisplayName", L"Contoso AntiVirus " + prefix_}, {L"InstallLocation", L"C:\\Contoso\\"}});
  CreateKey(kUninstall + prefix_ + L"32", KEY_WOW64_32KEY, {{L"DisplayName", L"Fabrikam Guard " + prefix_}});
  CreateKey(kUninstall + prefix_ + L"NoName", KEY_WOW64_64KEY, {{L"DisplayVersion", L"1"}});
  int contoso = 0, fabrikam = 0;
  for (const InstalledSoftwareEntry& entry : ReadInstalledSoftwareList()) {
    EXPECT_FALSE(entry.DisplayName.empty()) << "entries without a name are dropped";
    if (entry.DisplayName == L"Contoso AntiVirus " + prefix_) {
      ++contoso;
      EXPECT_EQ(kUninstall + prefix_ + L"64\\", entry.KeyPath);
      EXPECT_EQ(L"C:\\Contoso\\", entry.InstallLocation);
    }
    if (entry.DisplayName == L"Fabrikam Guard " + prefix_) ++fabrikam;
  }
  EXPECT_EQ(1, contoso) << "the 64-bit entry is read through the 64-bit view, once";
  EXPECT_EQ(1, fabrikam) << "the 32-bit entry is read under Wow6432Node";
  context.Settings.ConflictPackages.clear();
  context.Settings.ConflictSoftwareNames = {L"contoso antivirus " + prefix_, L"FABRIKAM GUARD " + prefix_};
  ASSERT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(2u, context.DetectedConflictNames.size());
}

TEST_F(EnvMachineWinTest, InstalledEditionIsReadInThe64BitView) {
  const std::wstring tavo = L"SOFTWARE\\TAVO";
  if (KeyExists(tavo, KEY_WOW64_64KEY) || KeyExists(tavo, KEY_WOW64_32KEY)) {
    GTEST_SKIP() << "the prefix holds a TAVO key of its own; it is left alone";
  }
  std::wstring info = kInstalledProductInfoKey;
  if (info.back() == L'\\') info.pop_back();
  CreateKey(tavo, KEY_WOW64_32KEY, {});  // removed with everything under it
  CreateKey(info, KEY_WOW64_32KEY, {{L"ProductName", EditionProductName(ProductEdition::TVG)}, {L"ProductVersion", L"8.0"}});
  EXPECT_FALSE(IsAnyEditionInstalled()) << "only the 32-bit view holds the product";
  std::wstring text;
  EXPECT_FALSE(GetInstalledProductVersion(&text));
  CreateKey(tavo, KEY_WOW64_64KEY, {});
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
  EXPECT_FALSE(QueryAntiSpywareProducts(&products));
  EXPECT_FALSE(QueryFirewallProducts(&products));
  EXPECT_TRUE(products.empty());
  LauncherContext context;
  tavo_test::LogCapture log;
  EXPECT_FALSE(DetectConflicts(&context));
  EXPECT_TRUE(context.DetectedConflictNames.empty());
  EXPECT_FALSE(context.SecurityCenterConflict);
}

}  // namespace
