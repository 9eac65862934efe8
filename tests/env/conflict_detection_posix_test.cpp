// Conflicting software on simulated machines: registry keys, the
// installed-software list and the Security Center.
#include <gtest/gtest.h>

#include "app/launcher_context.h"
#include "env/conflict_detection.h"
#include "env/security_center.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using tavo_test::SimMachine;
using Names = std::vector<std::wstring>;

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kUninstall32 = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

struct Row {
  const char* what;
  Names keys;                            // registry keys present (64-bit view paths)
  Names software;                        // display names under the 64-bit Uninstall root ("32:" for the 32-bit one)
  std::string center;                    // securitycenter.ini
  std::vector<ConflictPackage> packages;  // the settings' three lists
  Names softwareNames, centerNames;
  bool found;
  Names names;
  bool centerFlag;
};

const Row kRows[] = {
    {"nothing", {}, {}, "", {{L"Contoso AV", L"SOFTWARE\\Contoso\\AV"}}, {L"contoso"}, {}, false, {}, false},
    {"registry: first name kept, the other ways not asked", {L"SOFTWARE\\Contoso\\AV", L"SOFTWARE\\Fabrikam\\Guard"},
     {L"Contoso AntiVirus"}, "[AntiVirusProduct 1]\ndisplayName=Contoso AntiVirus\n",
     {{L"Absent", L"SOFTWARE\\Absent"}, {L"Contoso AV", L"SOFTWARE\\Contoso\\AV"}, {L"Fabrikam", L"SOFTWARE\\Fabrikam\\Guard"}},
     {L"contoso"}, {L"Contoso"}, true, {L"Contoso AV"}, false},
    {"a 32-bit product's key is not in the 64-bit view", {L"SOFTWARE\\Wow6432Node\\Contoso\\AV"}, {}, "",
     {{L"Contoso AV", L"SOFTWARE\\Contoso\\AV"}}, {}, {}, false, {}, false},
    {"own key goes on to the installed software", {L"SOFTWARE\\TAVO\\TAVO Security"}, {L"Contoso Internet Security"}, "",
     {{L"TAVO Software", L"SOFTWARE\\TAVO\\TAVO Security"}}, {L"contoso"}, {}, true, {L"Contoso Internet Security"}, false},
    {"own key is the exact text only", {L"SOFTWARE\\TAVO\\Other"}, {}, "", {{L"TAVO 2", L"SOFTWARE\\TAVO\\Other"}}, {}, {},
     true, {L"TAVO 2"}, false},
    {"empty name gets the fallback", {L"SOFTWARE\\Contoso\\AV"}, {}, "", {{L"", L"SOFTWARE\\Contoso\\AV"}}, {}, {}, true,
     {kUnknownConflictName}, false},
    {"empty key never matches", {L"SOFTWARE\\Contoso\\AV"}, {}, "", {{L"Everything", L""}}, {}, {}, false, {}, false},
    {"names match without case, in both roots, each product once",
     {}, {L"Contoso ANTIVIRUS Plus", L"32:Fabrikam Firewall", L"Unrelated Editor", L"32:Contoso ANTIVIRUS Plus"}, "", {},
     {L"antivirus", L"", L"contoso", L"FABRIKAM"}, {}, true, {L"Contoso ANTIVIRUS Plus", L"Fabrikam Firewall"}, false},
    {"empty software name never matches", {}, {L"Contoso"}, "", {}, {L""}, {}, false, {}, false},
    {"security center: Defender and own products pass",
     {}, {}, "[AntiVirusProduct 1]\ndisplayName=Windows Defender\n[AntiVirusProduct 2]\ndisplayName=TAVO Total Shield\n"
     "[AntiSpywareProduct 1]\ndisplayName=Windows Defender Antispyware\n[FirewallProduct 1]\ndisplayName=Contoso Wall\n",
     {}, {}, {L"Defender"}, false, {}, false},
    {"security center filter is case-sensitive", {}, {}, "[AntiVirusProduct 1]\ndisplayName=tavo lookalike\n", {}, {}, {},
     true, {L"tavo lookalike"}, false},
    {"security center name of the list sets the flag",
     {}, {}, "[AntiVirusProduct 1]\ndisplayName=Contoso Antivirus\n[AntiVirusProduct 2]\ndisplayName=Fabrikam Shield\n"
     "[AntiSpywareProduct 1]\ndisplayName=Contoso Antivirus\n",
     {}, {}, {L"Contoso", L"", L"Antivirus", L"contoso"}, true, {L"Contoso Antivirus", L"Fabrikam Shield"}, true},
    {"security center product outside the list", {}, {}, "[AntiSpywareProduct 1]\ndisplayName=Fabrikam Shield\n", {}, {},
     {L"Contoso"}, true, {L"Fabrikam Shield"}, false},
    {"security center product without a name", {}, {}, "[AntiVirusProduct 1]\ncompanyName=Nameless Inc.\n", {}, {},
     {L"Nameless"}, true, {kUnknownConflictName}, false},
    {"a failed query reports nothing",
     {}, {}, "[Fail]\nAntiVirusProduct=1\n[AntiVirusProduct 1]\ndisplayName=Contoso\n"
     "[AntiSpywareProduct 1]\ndisplayName=Fabrikam Spy\n", {}, {}, {}, true, {L"Fabrikam Spy"}, false},
    {"every query failed", {}, {}, "[Fail]\nAntiVirusProduct=1\nAntiSpywareProduct=1\n[AntiVirusProduct 1]\ndisplayName=C\n",
     {}, {}, {}, false, {}, false},
};

TEST(DetectConflicts, DecisionTable) {
  for (const Row& row : kRows) {
    for (bool flagBefore : {false, true}) {
      SimMachine machine;
      machine.SetWindows(10, 0, 1, 9, 1);
      for (const auto& key : row.keys) machine.SetRegistryString(key, L"Version", L"1");
      int n = 0;
      for (const auto& name : row.software) {
        const bool in32 = name.rfind(L"32:", 0) == 0;
        const std::wstring key = (in32 ? kUninstall32 : kUninstall) + L"{" + std::to_wstring(++n) + L"}";
        machine.SetRegistryString(key, L"DisplayName", in32 ? name.substr(3) : name);
      }
      machine.WriteFile("securitycenter.ini", row.center);
      LauncherContext context;
      context.Settings.ConflictPackages = row.packages;
      context.Settings.ConflictSoftwareNames = row.softwareNames;
      context.Settings.ConflictSecurityCenterNames = row.centerNames;
      context.DetectedConflictNames = {L"stale"};
      context.SecurityCenterConflict = flagBefore;  // never reset here
      tavo_test::LogCapture log;
      EXPECT_EQ(row.found, DetectConflicts(&context)) << row.what;
      EXPECT_EQ(row.names, context.DetectedConflictNames) << row.what;
      EXPECT_EQ(row.centerFlag || flagBefore, context.SecurityCenterConflict) << row.what;
    }
  }
}

TEST(ReadInstalledSoftwareList, BothRootsAndUnreadableKeys) {
  SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  auto add = [&](const std::wstring& key, const std::wstring& name) {
    machine.SetRegistryString(key, L"DisplayName", name);
    machine.SetRegistryString(key, L"DisplayVersion", L"1.0");
  };
  add(kUninstall + L"{64}", L"Sixty-Four");
  machine.SetRegistryString(kUninstall + L"{64}", L"InstallLocation", L"C:\\P\\64\\");
  add(kUninstall32 + L"{32}", L"Thirty-Two");
  add(kUninstall + L"{Denied}", L"Denied Product");
  machine.DenyRegistryKey(kUninstall + L"{Denied}");
  machine.SetRegistryString(kUninstall + L"{NoName}", L"DisplayVersion", L"3");
  add(kUninstall + L"{Empty}", L"");
  add(kUninstall + L"{Z}", L"Zed");
  std::vector<InstalledSoftwareEntry> entries = ReadInstalledSoftwareList();
  ASSERT_EQ(3u, entries.size());
  EXPECT_EQ(L"Sixty-Four", entries[0].DisplayName);
  EXPECT_EQ(L"1.0", entries[0].DisplayVersion);
  EXPECT_EQ(L"C:\\P\\64\\", entries[0].InstallLocation);
  EXPECT_EQ(kUninstall + L"{64}\\", entries[0].KeyPath);
  EXPECT_EQ(L"Zed", entries[1].DisplayName);
  EXPECT_EQ(kUninstall32 + L"{32}\\", entries[2].KeyPath);
  // A root that cannot be read is passed over.
  machine.DenyRegistryKey(kUninstall);
  entries = ReadInstalledSoftwareList();
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(L"Thirty-Two", entries[0].DisplayName);
}

TEST(SecurityCenterQueries, RecordsOfTheMachine) {
  SimMachine machine;
  machine.WriteFile("securitycenter.ini",
                    "[AntiVirusProduct 2]\ndisplayName=Second\ncompanyName=Maker\nversionNumber=1.2.3\n"
                    "pathToSignedProductExe=C:\\P\\av.exe\npathToSignedReportingExe=C:\\P\\rep.exe\nproductState=266240\n"
                    "[AntiVirusProduct 1]\ndisplayName=First\nproductState=not a number\n"
                    "[AntiVirusProductX]\ndisplayName=Not an instance\n[FirewallProduct 1]\ndisplayName=Wall\n"
                    "[Fail]\nAntiSpywareProduct=1\n");
  std::vector<SecurityCenterProduct> products;
  ASSERT_TRUE(QueryAntiVirusProducts(&products));
  ASSERT_EQ(2u, products.size());
  EXPECT_TRUE(products[0].Valid);
  EXPECT_EQ(L"Second", products[0].DisplayName);
  EXPECT_EQ(L"Maker", products[0].CompanyName);
  EXPECT_EQ(L"1.2.3", products[0].VersionNumber);
  EXPECT_EQ(L"C:\\P\\av.exe", products[0].PathToSignedProductExe);
  EXPECT_EQ(L"C:\\P\\rep.exe", products[0].PathToSignedReportingExe);
  EXPECT_TRUE(products[0].HasState && products[0].Enabled && products[0].UpToDate);
  // A state that is not a number is no state: nothing is derived from it.
  EXPECT_EQ(L"First", products[1].DisplayName);
  EXPECT_FALSE(products[1].HasState || products[1].Enabled || products[1].UpToDate);
  ASSERT_TRUE(QueryFirewallProducts(&products));  // appended
  ASSERT_EQ(3u, products.size());
  EXPECT_EQ(L"Wall", products[2].DisplayName);
  EXPECT_FALSE(QueryAntiSpywareProducts(&products));
  EXPECT_EQ(3u, products.size());
  // The namespace follows the system: Vista brought a new one.
  auto namespaceOn = [&](int major, int minor) {
    machine.SetWindows(major, minor, 1, 9, 1);
    return SecurityCenterNamespace();
  };
  EXPECT_EQ(namespaceOn(5, 1), namespaceOn(5, 2));
  EXPECT_NE(namespaceOn(5, 2), namespaceOn(6, 0));
  EXPECT_EQ(namespaceOn(6, 0), namespaceOn(10, 0));
}

}  // namespace
