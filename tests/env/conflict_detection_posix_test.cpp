// Conflicting software on simulated machines: registry keys, the
// installed-software list and the Security Center.
#include <gtest/gtest.h>

#include "app/launcher_context.h"
#include "env/conflict_detection.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using Names = std::vector<std::wstring>;

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kUninstall32 = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kUnknown = kUnknownConflictName;
const ConflictPackage kContoso = {L"Contoso AV", L"SOFTWARE\\Contoso\\AV"};

struct Row {
  const char* what;
  Names keys;         // registry keys present (64-bit view paths)
  Names software;     // Uninstall entries' names; "32:" for the 32-bit root, "!" for an unreadable entry
  std::string center;  // securitycenter.ini
  std::vector<ConflictPackage> packages;  // the settings' three lists
  Names softwareNames, centerNames;
  bool found;
  Names names;
  bool centerFlag;
};

const Row kRows[] = {
    {"nothing", {}, {}, "", {kContoso}, {L"contoso"}, {}, false, {}, false},
    {"registry: the first name, the other ways not asked", {kContoso.RegistryKey, L"SOFTWARE\\Fabrikam"},
     {L"Contoso AntiVirus"}, "[AntiVirusProduct 1]\ndisplayName=Contoso AntiVirus\n",
     {{L"Absent", L"SOFTWARE\\Absent"}, kContoso, {L"Fabrikam", L"SOFTWARE\\Fabrikam"}}, {L"contoso"}, {L"Contoso"},
     true, {L"Contoso AV"}, false},
    {"a 32-bit product's key is not in the 64-bit view", {L"SOFTWARE\\Wow6432Node\\Contoso\\AV"}, {}, "", {kContoso},
     {}, {}, false, {}, false},
    // The vendor's settings list their own marker under this name: finding it is no conflict.
    {"own marker goes on to the installed software", {L"SOFTWARE\\TAVO"}, {L"Contoso Suite"}, "",
     {{L"TAVO Software", L"SOFTWARE\\TAVO"}}, {L"contoso"}, {}, true, {L"Contoso Suite"}, false},
    {"own marker is the exact name only", {L"SOFTWARE\\TAVO"}, {}, "", {{L"TAVO Software 2", L"SOFTWARE\\TAVO"}}, {},
     {}, true, {L"TAVO Software 2"}, false},
    {"empty name gets the fallback", {kContoso.RegistryKey}, {}, "", {{L"", kContoso.RegistryKey}}, {}, {}, true,
     {kUnknown}, false},
    {"empty key never matches", {kContoso.RegistryKey}, {}, "", {{L"Everything", L""}}, {}, {}, false, {}, false},
    {"names match without case, in both roots, each product once",
     {}, {L"Contoso ANTIVIRUS Plus", L"32:Fabrikam Firewall", L"Unrelated", L"32:Contoso ANTIVIRUS Plus", L"!Contoso X"},
     "", {}, {L"antivirus", L"", L"contoso", L"FABRIKAM"}, {}, true, {L"Contoso ANTIVIRUS Plus", L"Fabrikam Firewall"},
     false},
    {"empty software name never matches", {}, {L"Contoso", L"", L"32:"}, "", {}, {L""}, {}, false, {}, false},
    {"security center: Defender and own products pass", {}, {},
     "[AntiVirusProduct 1]\ndisplayName=Windows Defender\n[AntiVirusProduct 2]\ndisplayName=TAVO Total Shield\n"
     "[AntiSpywareProduct 1]\ndisplayName=Windows Defender Antispyware\n[FirewallProduct 1]\ndisplayName=Contoso Wall\n",
     {}, {}, {L"Defender"}, false, {}, false},
    {"security center filter is case-sensitive", {}, {}, "[AntiVirusProduct 1]\ndisplayName=tavo lookalike\n", {}, {},
     {}, true, {L"tavo lookalike"}, false},
    {"a name of the security center list sets the flag", {}, {},
     "[AntiVirusProduct 1]\ndisplayName=Contoso Antivirus\n[AntiVirusProduct 2]\ndisplayName=Fabrikam Shield\n"
     "[AntiSpywareProduct 1]\ndisplayName=Contoso Antivirus\n",
     {}, {}, {L"Contoso", L"", L"Antivirus", L"contoso"}, true, {L"Contoso Antivirus", L"Fabrikam Shield"}, true},
    {"security center product outside the list", {}, {}, "[AntiSpywareProduct 1]\ndisplayName=Fabrikam Shield\n", {},
     {}, {L"Contoso"}, true, {L"Fabrikam Shield"}, false},
    {"security center product without a name", {}, {}, "[AntiVirusProduct 1]\ncompanyName=Nameless Inc.\n", {}, {},
     {L"Nameless"}, true, {kUnknown}, false},
    {"a failed query reports nothing", {}, {},
     "[Fail]\nAntiVirusProduct=1\n[AntiVirusProduct 1]\ndisplayName=C\n[AntiSpywareProduct 1]\ndisplayName=Spy\n",
     {}, {}, {}, true, {L"Spy"}, false},
    {"every query failed", {}, {}, "[Fail]\nAntiVirusProduct=1\nAntiSpywareProduct=1\n[AntiVirusProduct 1]\ndisplayName=C\n",
     {}, {}, {}, false, {}, false},
};

TEST(DetectConflicts, DecisionTable) {
  for (const Row& row : kRows) {
    for (bool flagBefore : {false, true}) {
      tavo_test::SimMachine machine;
      machine.SetWindows(10, 0, 1, 9, 1);
      for (const auto& key : row.keys) machine.SetRegistryString(key, L"Version", L"1");
      int n = 0;
      for (std::wstring name : row.software) {
        const bool in32 = name.rfind(L"32:", 0) == 0, denied = name.rfind(L"!", 0) == 0;
        const std::wstring key = (in32 ? kUninstall32 : kUninstall) + L"{" + std::to_wstring(++n) + L"}";
        machine.SetRegistryString(key, L"DisplayName", name.substr(in32 ? 3 : denied ? 1 : 0));
        if (denied) machine.DenyRegistryKey(key);
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

TEST(ReadInstalledSoftwareList, EntriesOfBothRootsAndAnUnreadableRoot) {
  tavo_test::SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  for (const auto& key : {kUninstall + L"{64}", kUninstall32 + L"{32}"}) {
    machine.SetRegistryString(key, L"DisplayName", key.substr(key.size() - 4));
    machine.SetRegistryString(key, L"DisplayVersion", L"1.0");
    machine.SetRegistryString(key, L"InstallLocation", L"C:\\P\\");
  }
  std::vector<InstalledSoftwareEntry> entries = ReadInstalledSoftwareList();
  ASSERT_EQ(2u, entries.size());
  EXPECT_EQ(L"{64}", entries[0].DisplayName);
  EXPECT_EQ(kUninstall + L"{64}\\", entries[0].KeyPath);
  EXPECT_EQ(L"1.0", entries[0].DisplayVersion);
  EXPECT_EQ(L"C:\\P\\", entries[0].InstallLocation);
  EXPECT_EQ(kUninstall32 + L"{32}\\", entries[1].KeyPath);
  machine.DenyRegistryKey(kUninstall);
  entries = ReadInstalledSoftwareList();
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ(L"{32}", entries[0].DisplayName);
}

}  // namespace
