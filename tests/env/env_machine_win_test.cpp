// Environment checks against the real registry and WMI of a 64-bit Wine
// prefix, where this 32-bit test runs under WoW64 as the launcher does on a
// customer's 64-bit Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/launcher_context.h"
#include "env/conflict_detection.h"
#include "env/environment_survey.h"
#include "env/installed_edition.h"
#include "env/security_center.h"
#include "platform/sysinfo.h"
#include "tests/support/log_capture.h"

namespace {

using tavo_test::LogCapture;

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kUninstall32[] = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

bool KeyExists(const std::wstring& subkey, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

void DeleteTree(const std::wstring& subkey, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
    ::RegDeleteTreeW(key, nullptr);
    ::RegCloseKey(key);
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), view, 0);
  }
}

class EnvMachineWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Without WoW64 there is no second view, and the view tests would prove nothing.
    ASSERT_TRUE(platform::IsWow64Process()) << "the tests need a 64-bit Wine prefix (WINEARCH=win64)";
    prefix_ = L"TavoEnvTest" + std::to_wstring(::GetCurrentProcessId()) + L"_";
  }

  void TearDown() override {
    for (const auto& key : created_) DeleteTree(key.first, key.second);
  }

  // Creates a key (in the given view) with string values; removed after the test.
  void CreateKey(const std::wstring& subkey, REGSAM view,
                 const std::vector<std::pair<std::wstring, std::wstring>>& values) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0,
                                               KEY_ALL_ACCESS | view, nullptr, &key, nullptr))
        << "cannot create the test key";
    created_.insert(created_.begin(), {subkey, view});
    for (const auto& value : values) {
      ASSERT_EQ(ERROR_SUCCESS,
                ::RegSetValueExW(key, value.first.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.second.c_str()),
                                 static_cast<DWORD>((value.second.size() + 1) * sizeof(wchar_t))));
    }
    ::RegCloseKey(key);
  }

  std::wstring prefix_;
  std::vector<std::pair<std::wstring, REGSAM>> created_;
};

TEST_F(EnvMachineWinTest, InstalledSoftwareListCoversBothUninstallRootsIn64BitView) {
  const std::wstring name64 = prefix_ + L"Sixty";
  const std::wstring name32 = prefix_ + L"Thirty";
  const std::wstring nameless = prefix_ + L"NoName";
  CreateKey(kUninstall + name64, KEY_WOW64_64KEY,
            {{L"DisplayName", L"Contoso AntiVirus " + prefix_}, {L"DisplayVersion", L"6.4"},
             {L"InstallLocation", L"C:\\Contoso\\"}});
  // A 32-bit product's entry, written by a 32-bit installer into its own view.
  CreateKey(std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + name32, KEY_WOW64_32KEY,
            {{L"DisplayName", L"Fabrikam Guard " + prefix_}, {L"DisplayVersion", L"3.2"}});
  CreateKey(kUninstall + nameless, KEY_WOW64_64KEY, {{L"DisplayVersion", L"1"}});

  const std::vector<InstalledSoftwareEntry> entries = ReadInstalledSoftwareList();
  const InstalledSoftwareEntry* found64 = nullptr;
  const InstalledSoftwareEntry* found32 = nullptr;
  for (const InstalledSoftwareEntry& entry : entries) {
    EXPECT_FALSE(entry.DisplayName.empty());
    if (entry.KeyPath == kUninstall + name64 + L"\\") found64 = &entry;
    if (entry.KeyPath == kUninstall32 + name32 + L"\\") found32 = &entry;
    EXPECT_NE(kUninstall + nameless + L"\\", entry.KeyPath);
  }
  ASSERT_NE(nullptr, found64) << "the 64-bit entry is read through the 64-bit view";
  EXPECT_EQ(L"Contoso AntiVirus " + prefix_, found64->DisplayName);
  EXPECT_EQ(L"6.4", found64->DisplayVersion);
  EXPECT_EQ(L"C:\\Contoso\\", found64->InstallLocation);
  ASSERT_NE(nullptr, found32) << "the 32-bit entry is read under Wow6432Node";
  EXPECT_EQ(L"Fabrikam Guard " + prefix_, found32->DisplayName);

  // The 64-bit entry must not have been read twice through a redirected view.
  int copies = 0;
  for (const InstalledSoftwareEntry& entry : entries) {
    if (entry.DisplayName == found64->DisplayName) ++copies;
  }
  EXPECT_EQ(1, copies);

  LauncherContext context;
  context.Settings.ConflictSoftwareNames = {L"contoso antivirus " + prefix_, L"FABRIKAM GUARD " + prefix_};
  LogCapture log;
  ASSERT_TRUE(DetectConflicts(&context));
  EXPECT_EQ((std::vector<std::wstring>{L"Contoso AntiVirus " + prefix_, L"Fabrikam Guard " + prefix_}),
            context.DetectedConflictNames);
}

TEST_F(EnvMachineWinTest, RegistryConflictKeysAreOpenedIn64BitView) {
  const std::wstring only64 = L"SOFTWARE\\" + prefix_ + L"Only64";
  const std::wstring only32 = L"SOFTWARE\\" + prefix_ + L"Only32";
  CreateKey(only64, KEY_WOW64_64KEY, {{L"Version", L"1"}});
  CreateKey(only32, KEY_WOW64_32KEY, {{L"Version", L"1"}});
  ASSERT_FALSE(KeyExists(only32, KEY_WOW64_64KEY));

  LauncherContext context;
  context.Settings.ConflictPackages = {{L"Only in the 32-bit view", only32}, {L"Only in the 64-bit view", only64}};
  LogCapture log;
  ASSERT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(std::vector<std::wstring>{L"Only in the 64-bit view"}, context.DetectedConflictNames);
  EXPECT_EQ(-1, log.Find(L"Only in the 32-bit view"));
}

TEST_F(EnvMachineWinTest, InstalledEditionIsReadIn64BitView) {
  const std::wstring tavo = L"SOFTWARE\\TAVO";
  if (KeyExists(tavo, KEY_WOW64_64KEY) || KeyExists(tavo, KEY_WOW64_32KEY)) {
    GTEST_SKIP() << "the prefix holds a TAVO key of its own; it is left alone";
  }
  const std::wstring info = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info";

  // Only the 32-bit view: not seen.
  CreateKey(tavo, KEY_WOW64_32KEY, {});
  CreateKey(info, KEY_WOW64_32KEY, {{L"ProductName", L"TAVO Virus Guard"}, {L"ProductVersion", L"8.0.0.1"}});
  EXPECT_FALSE(IsAnyEditionInstalled());
  std::wstring text;
  EXPECT_FALSE(GetInstalledProductVersion(&text));

  CreateKey(tavo, KEY_WOW64_64KEY, {});
  CreateKey(info, KEY_WOW64_64KEY,
            {{L"ProductName", L"TAVO Total Shield Plus"},
             {L"ProductVersion", L"10.0.1"},
             {L"InstallDir", L"C:\\Program Files\\TAVO\\TAVO Security\\"}});
  EXPECT_TRUE(IsEditionInstalled(ProductEdition::TTSP));
  EXPECT_FALSE(IsEditionInstalled(ProductEdition::TTS));
  EXPECT_FALSE(IsEditionInstalled(ProductEdition::TVG));
  EXPECT_TRUE(IsAnyEditionInstalled());
  EXPECT_FALSE(IsTtsOrTvgInstalled());
  EXPECT_TRUE(InstalledVersionIs(10));
  ASSERT_TRUE(GetInstallDir(&text));
  EXPECT_EQ(L"C:\\Program Files\\TAVO\\TAVO Security\\", text);

  LaunchSettings settings;
  settings.ProductType = 1;
  LogCapture log;
  EXPECT_TRUE(IsOtherEditionInstalled(settings));
  EXPECT_EQ(std::vector<std::wstring>{L"TAVO Total Shield Plusがインストールされています。"}, log.Texts());
}

// Wine has no Security Center namespace: every query fails, and the survey
// says so in its error lines and goes on to the end.
TEST_F(EnvMachineWinTest, SurveyWritesTheSecurityCenterFailureLines) {
  std::vector<SecurityCenterProduct> products;
  ASSERT_FALSE(QueryAntiVirusProducts(&products)) << "this Wine reports a Security Center; the test assumes none";
  EXPECT_FALSE(QueryAntiSpywareProducts(&products));
  EXPECT_FALSE(QueryFirewallProducts(&products));
  EXPECT_TRUE(products.empty());
  EXPECT_EQ(L"ROOT\\SecurityCenter2", SecurityCenterNamespace());

  LauncherContext context;
  LogCapture log;
  WriteEnvironmentSurvey(context);
  const auto entries = log.Entries();
  ASSERT_GE(entries.size(), 7u);
  EXPECT_EQ(L"*****環境情報*****", entries[0].text);
  const size_t n = entries.size();
  // The prefix of a failed entry is the fixed text; the code is WMI's.
  auto startsWith = [](const std::wstring& text, const std::wstring& head) { return text.rfind(head, 0) == 0; };
  EXPECT_TRUE(entries[n - 3].error);
  EXPECT_TRUE(startsWith(entries[n - 3].text, L"ウイルス対策製品の情報取得に失敗しました。 (ERRORCODE "))
      << "anti-virus line";
  EXPECT_TRUE(entries[n - 2].error);
  EXPECT_TRUE(startsWith(entries[n - 2].text, L"スパイウェア対策製品の情報取得に失敗しました。 (ERRORCODE "))
      << "anti-spyware line";
  EXPECT_TRUE(entries[n - 1].error);
  EXPECT_TRUE(startsWith(entries[n - 1].text, L"ファイアウォール製品の情報取得に失敗しました。 (ERRORCODE "))
      << "firewall line";
  // The operating-system line precedes them.
  EXPECT_TRUE(startsWith(entries[n - 4].text, L"オペレーティングシステム："));
  for (const auto& entry : entries) {
    EXPECT_FALSE(startsWith(entry.text, L"*****ウイルス対策製品の情報*****"));
  }
}

TEST_F(EnvMachineWinTest, NoSecurityCenterMeansNoConflict) {
  LauncherContext context;
  LogCapture log;
  EXPECT_FALSE(DetectConflicts(&context));
  EXPECT_TRUE(context.DetectedConflictNames.empty());
  EXPECT_FALSE(context.SecurityCenterConflict);
  EXPECT_EQ(-1, log.Find(L"以下の製品を確認します。"));
}

}  // namespace
