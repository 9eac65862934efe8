// Conflicting software on simulated machines: registry keys, the
// installed-software list and the Security Center, with their log lines.
#include <gtest/gtest.h>

#include "app/launcher_context.h"
#include "env/conflict_detection.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using tavo_test::LogCapture;
using tavo_test::SimMachine;

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kUninstall32[] = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

const wchar_t kStart[] = L"競合製品を確認します。";
const wchar_t kRegistryHit[] = L"競合製品を検出しました。（レジストリで検出）";
const wchar_t kOwnSkipped[] = L"TAVO製品のため、競合検出をスキップしました。";
const wchar_t kRegistryFound[] = L"以下の競合製品を検出しました（レジストリ検索で検出）。";
const wchar_t kNoRegistry[] = L"インストールソフトウェア一覧にレジストリキーで検出したソフトウェアが存在しません。";
const wchar_t kSoftwareFound[] = L"以下の競合製品を検出しました（ソフトウェア検索で検出）。";
const wchar_t kChecking[] = L"以下の製品を確認します。";
const wchar_t kCenterFound[] = L"以下の競合製品を検出しました（セキュリティセンターで検出）。";
const wchar_t kLeftover[] = L"検出した製品は消し忘れの可能性があります。";
const wchar_t kFallback[] = L"他社製ウイルス対策製品（製品名を取得できませんでした）";

using Lines = std::vector<std::wstring>;

void AddUninstallEntry(SimMachine* machine, const std::wstring& root, const std::wstring& subkey,
                       const std::wstring& displayName) {
  machine->SetRegistryString(root + subkey, L"DisplayName", displayName);
  machine->SetRegistryString(root + subkey, L"DisplayVersion", L"1.0");
}

void WriteSecurityCenter(SimMachine* machine, const std::string& ini) { machine->WriteFile("securitycenter.ini", ini); }

TEST(DetectConflicts, NothingFound) {
  SimMachine machine;
  LauncherContext context;
  context.Settings.ConflictPackages = {{L"Contoso AV", L"SOFTWARE\\Contoso\\AV"}};
  context.Settings.ConflictSoftwareNames = {L"contoso"};
  context.DetectedConflictNames = {L"stale"};
  LogCapture log;
  EXPECT_FALSE(DetectConflicts(&context));
  EXPECT_TRUE(context.DetectedConflictNames.empty());
  EXPECT_FALSE(context.SecurityCenterConflict);
  EXPECT_EQ((Lines{kStart, kNoRegistry}), log.Texts());
}

TEST(DetectConflicts, TwoRegistryKeysBothLoggedFirstNameKept) {
  SimMachine machine;
  machine.SetRegistryString(L"SOFTWARE\\Contoso\\AV", L"Version", L"1");
  machine.SetRegistryString(L"SOFTWARE\\Fabrikam\\Guard", L"Version", L"2");
  // Also an installed-software match and a Security Center product: the registry way wins alone.
  AddUninstallEntry(&machine, kUninstall, L"{1}", L"Contoso AntiVirus");
  WriteSecurityCenter(&machine, "[AntiVirusProduct 1]\ndisplayName=Contoso AntiVirus\nproductState=266240\n");
  LauncherContext context;
  context.Settings.ConflictPackages = {{L"Absent AV", L"SOFTWARE\\Absent"},
                                       {L"Contoso AV", L"SOFTWARE\\Contoso\\AV"},
                                       {L"Fabrikam Guard", L"SOFTWARE\\Fabrikam\\Guard"}};
  context.Settings.ConflictSoftwareNames = {L"contoso"};
  context.Settings.ConflictSecurityCenterNames = {L"Contoso"};
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(Lines{L"Contoso AV"}, context.DetectedConflictNames);
  EXPECT_FALSE(context.SecurityCenterConflict);
  EXPECT_EQ((Lines{kStart, kRegistryHit, L"Contoso AV", L"SOFTWARE\\Contoso\\AV", kRegistryHit, L"Fabrikam Guard",
                   L"SOFTWARE\\Fabrikam\\Guard", kRegistryFound, L"Contoso AV"}),
            log.Texts());
  for (const auto& entry : log.Entries()) EXPECT_FALSE(entry.error) << entry.text;
}

TEST(DetectConflicts, RegistryKeysAreReadIn64BitViewUnderWow64) {
  SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  // Only a 32-bit product's key: the launcher asks for the 64-bit view and does not see it.
  machine.SetRegistryString(L"SOFTWARE\\Wow6432Node\\Contoso\\AV", L"Version", L"1");
  machine.SetRegistryString(L"SOFTWARE\\Fabrikam\\Guard", L"Version", L"1");
  LauncherContext context;
  context.Settings.ConflictPackages = {{L"Contoso AV", L"SOFTWARE\\Contoso\\AV"},
                                       {L"Fabrikam Guard", L"SOFTWARE\\Fabrikam\\Guard"}};
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(Lines{L"Fabrikam Guard"}, context.DetectedConflictNames);
}

TEST(DetectConflicts, OnlyOwnKeyGoesOnToInstalledSoftware) {
  SimMachine machine;
  machine.SetRegistryString(L"SOFTWARE\\TAVO\\TAVO Security", L"Version", L"1");
  AddUninstallEntry(&machine, kUninstall, L"Contoso", L"Contoso Internet Security");
  LauncherContext context;
  context.Settings.ConflictPackages = {{L"TAVO Software", L"SOFTWARE\\TAVO\\TAVO Security"}};
  context.Settings.ConflictSoftwareNames = {L"contoso"};
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(Lines{L"Contoso Internet Security"}, context.DetectedConflictNames);
  EXPECT_EQ((Lines{kStart, kRegistryHit, L"TAVO Software", L"SOFTWARE\\TAVO\\TAVO Security", kOwnSkipped,
                   kNoRegistry, kSoftwareFound, L"Contoso Internet Security"}),
            log.Texts());
}

TEST(DetectConflicts, OwnKeyIsExactTextOnly) {
  SimMachine machine;
  machine.SetRegistryString(L"SOFTWARE\\TAVO\\Other", L"Version", L"1");
  LauncherContext context;
  context.Settings.ConflictPackages = {{L"TAVO Software 2", L"SOFTWARE\\TAVO\\Other"}};
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(Lines{L"TAVO Software 2"}, context.DetectedConflictNames);
}

TEST(DetectConflicts, MixedCaseNamesMatchedOnce) {
  SimMachine machine;
  AddUninstallEntry(&machine, kUninstall, L"{A}", L"Contoso ANTIVIRUS Plus");
  AddUninstallEntry(&machine, kUninstall32, L"{B}", L"Fabrikam Firewall");
  AddUninstallEntry(&machine, kUninstall, L"{C}", L"Unrelated Editor");
  AddUninstallEntry(&machine, kUninstall32, L"{D}", L"Contoso ANTIVIRUS Plus");  // same text in the other root
  LauncherContext context;
  // Both names match the first entry; it is listed once.
  context.Settings.ConflictSoftwareNames = {L"antivirus", L"", L"contoso", L"FABRIKAM"};
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_EQ((Lines{L"Contoso ANTIVIRUS Plus", L"Fabrikam Firewall"}), context.DetectedConflictNames);
  EXPECT_EQ((Lines{kStart, kNoRegistry, kSoftwareFound, L"Contoso ANTIVIRUS Plus", kSoftwareFound,
                   L"Fabrikam Firewall"}),
            log.Texts());
}

TEST(ReadInstalledSoftwareList, BothRootsEntriesAndUnreadableSubkeys) {
  SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  AddUninstallEntry(&machine, kUninstall, L"{64}", L"Sixty-Four");
  machine.SetRegistryString(std::wstring(kUninstall) + L"{64}", L"InstallLocation", L"C:\\P\\64\\");
  AddUninstallEntry(&machine, kUninstall32, L"{32}", L"Thirty-Two");
  AddUninstallEntry(&machine, kUninstall, L"{Denied}", L"Denied Product");
  machine.DenyRegistryKey(std::wstring(kUninstall) + L"{Denied}");
  machine.SetRegistryString(std::wstring(kUninstall) + L"{NoName}", L"DisplayVersion", L"3");
  AddUninstallEntry(&machine, kUninstall, L"{Empty}", L"");
  AddUninstallEntry(&machine, kUninstall, L"{Z}", L"Zed");

  std::vector<InstalledSoftwareEntry> entries = ReadInstalledSoftwareList();
  ASSERT_EQ(3u, entries.size());
  EXPECT_EQ(L"Sixty-Four", entries[0].DisplayName);
  EXPECT_EQ(L"1.0", entries[0].DisplayVersion);
  EXPECT_EQ(L"C:\\P\\64\\", entries[0].InstallLocation);
  EXPECT_EQ(std::wstring(kUninstall) + L"{64}\\", entries[0].KeyPath);
  EXPECT_EQ(L"Zed", entries[1].DisplayName);
  EXPECT_EQ(L"Thirty-Two", entries[2].DisplayName);
  EXPECT_EQ(std::wstring(kUninstall32) + L"{32}\\", entries[2].KeyPath);
}

TEST(ReadInstalledSoftwareList, UnreadableRootIsPassedOver) {
  SimMachine machine;
  AddUninstallEntry(&machine, kUninstall, L"{64}", L"Sixty-Four");
  AddUninstallEntry(&machine, kUninstall32, L"{32}", L"Thirty-Two");
  machine.DenyRegistryKey(kUninstall);
  std::vector<InstalledSoftwareEntry> entries = ReadInstalledSoftwareList();
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(L"Thirty-Two", entries[0].DisplayName);
}

TEST(DetectConflicts, SecurityCenterDefenderAndTavoOnly) {
  SimMachine machine;
  WriteSecurityCenter(&machine,
                      "[AntiVirusProduct 1]\ndisplayName=Windows Defender\nproductState=397568\n"
                      "[AntiVirusProduct 2]\ndisplayName=TAVO Total Shield\nproductState=266240\n"
                      "[AntiSpywareProduct 1]\ndisplayName=Windows Defender Antispyware\n"
                      "[FirewallProduct 1]\ndisplayName=Contoso Firewall\n");
  LauncherContext context;
  context.Settings.ConflictSecurityCenterNames = {L"Defender"};
  LogCapture log;
  EXPECT_FALSE(DetectConflicts(&context));
  EXPECT_TRUE(context.DetectedConflictNames.empty());
  EXPECT_FALSE(context.SecurityCenterConflict);
  EXPECT_EQ((Lines{kStart, kNoRegistry, kChecking, L"Windows Defender", kChecking, L"TAVO Total Shield", kChecking,
                   L"Windows Defender Antispyware"}),
            log.Texts());
}

TEST(DetectConflicts, SecurityCenterFilterIsCaseSensitive) {
  SimMachine machine;
  WriteSecurityCenter(&machine, "[AntiVirusProduct 1]\ndisplayName=tavo lookalike\n");
  LauncherContext context;
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(Lines{L"tavo lookalike"}, context.DetectedConflictNames);
  EXPECT_FALSE(context.SecurityCenterConflict);
}

TEST(DetectConflicts, SecurityCenterLeftoverNameSetsTheFlag) {
  SimMachine machine;
  WriteSecurityCenter(&machine,
                      "[AntiVirusProduct 1]\ndisplayName=Contoso Antivirus\n"
                      "[AntiVirusProduct 2]\ndisplayName=Fabrikam Shield\n"
                      "[AntiSpywareProduct 1]\ndisplayName=Contoso Antivirus\n");  // listed once
  LauncherContext context;
  context.Settings.ConflictSecurityCenterNames = {L"Contoso", L"", L"Antivirus", L"contoso"};
  context.SecurityCenterConflict = false;
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_TRUE(context.SecurityCenterConflict);
  EXPECT_EQ((Lines{L"Contoso Antivirus", L"Fabrikam Shield"}), context.DetectedConflictNames);
  EXPECT_EQ((Lines{kStart, kNoRegistry, kChecking, L"Contoso Antivirus", kChecking, L"Fabrikam Shield", kChecking,
                   L"Contoso Antivirus", kCenterFound, L"Contoso Antivirus", L"Contoso", kLeftover, L"Antivirus",
                   kLeftover, kCenterFound, L"Fabrikam Shield"}),
            log.Texts());
}

TEST(DetectConflicts, SecurityCenterFindingWithoutLeftoverKeepsTheFlag) {
  SimMachine machine;
  WriteSecurityCenter(&machine, "[AntiSpywareProduct 1]\ndisplayName=Fabrikam Shield\n");
  LauncherContext context;
  context.Settings.ConflictSecurityCenterNames = {L"Contoso"};
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_FALSE(context.SecurityCenterConflict);
  EXPECT_EQ(Lines{L"Fabrikam Shield"}, context.DetectedConflictNames);
  // Never reset here: a flag set earlier stays.
  context.SecurityCenterConflict = true;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_TRUE(context.SecurityCenterConflict);
}

TEST(DetectConflicts, SecurityCenterProductWithoutNameGetsTheFallback) {
  SimMachine machine;
  WriteSecurityCenter(&machine, "[AntiVirusProduct 1]\ncompanyName=Nameless Inc.\n");
  LauncherContext context;
  context.Settings.ConflictSecurityCenterNames = {L"Nameless"};
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(Lines{kFallback}, context.DetectedConflictNames);
  EXPECT_FALSE(context.SecurityCenterConflict);
  EXPECT_EQ((Lines{kStart, kNoRegistry, kChecking, L""}), log.Texts());
}

TEST(DetectConflicts, FailedSecurityCenterQueriesReportNothing) {
  SimMachine machine;
  WriteSecurityCenter(&machine,
                      "[Fail]\nAntiVirusProduct=1\n"
                      "[AntiVirusProduct 1]\ndisplayName=Contoso Antivirus\n"
                      "[AntiSpywareProduct 1]\ndisplayName=Fabrikam Spy Sweeper\n");
  LauncherContext context;
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(Lines{L"Fabrikam Spy Sweeper"}, context.DetectedConflictNames);

  WriteSecurityCenter(&machine,
                      "[Fail]\nAntiVirusProduct=1\nAntiSpywareProduct=1\n"
                      "[AntiVirusProduct 1]\ndisplayName=Contoso Antivirus\n");
  EXPECT_FALSE(DetectConflicts(&context));
  EXPECT_TRUE(context.DetectedConflictNames.empty());
}

TEST(DetectConflicts, RegistryFindingWithSecurityCenterFindingStaysRegistryOnly) {
  SimMachine machine;
  machine.SetRegistryString(L"SOFTWARE\\Contoso\\AV", L"Version", L"1");
  WriteSecurityCenter(&machine, "[AntiVirusProduct 1]\ndisplayName=Contoso Antivirus\n");
  LauncherContext context;
  context.Settings.ConflictPackages = {{L"Contoso AV", L"SOFTWARE\\Contoso\\AV"}};
  context.Settings.ConflictSecurityCenterNames = {L"Contoso"};
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_FALSE(context.SecurityCenterConflict);
  EXPECT_EQ(Lines{L"Contoso AV"}, context.DetectedConflictNames);
  EXPECT_EQ(-1, log.Find(kChecking));
}

TEST(DetectConflicts, EmptyPackageNameGetsTheFallback) {
  SimMachine machine;
  machine.SetRegistryString(L"SOFTWARE\\Contoso\\AV", L"Version", L"1");
  LauncherContext context;
  context.Settings.ConflictPackages = {{L"", L"SOFTWARE\\Contoso\\AV"}};
  LogCapture log;
  EXPECT_TRUE(DetectConflicts(&context));
  EXPECT_EQ(Lines{kFallback}, context.DetectedConflictNames);
  EXPECT_EQ((Lines{kStart, kRegistryHit, L"", L"SOFTWARE\\Contoso\\AV", kRegistryFound, kFallback}), log.Texts());
}

TEST(DetectConflicts, EmptyRegistryKeyNeverMatches) {
  SimMachine machine;
  machine.SetRegistryString(L"SOFTWARE\\Contoso\\AV", L"Version", L"1");
  LauncherContext context;
  context.Settings.ConflictPackages = {{L"Everything", L""}};
  LogCapture log;
  EXPECT_FALSE(DetectConflicts(&context));
}

}  // namespace
