// The environment checks on simulated machines: system, conflicting software, installed edition, and the outcome.
#include <gtest/gtest.h>

#include "app/launcher_context.h"
#include "env/conflict_detection.h"
#include "env/environment_checks.h"
#include "env/installed_edition.h"
#include "env/os_detection.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"
#include "ui/font_rule.h"

namespace {

using Names = std::vector<std::wstring>;
using tavo_test::SimMachine;

TEST(OsDetection, MachineFactsGiveCodeAndSupport) {
  // major, minor, product type, architecture, WoW64, suite mask, R2, "at least 6.3" (-1: the machine's
  // default), native information -> code (-1: not asked), supported, 64-bit Windows. Windows 8.1 may report 6.2
  // and answer the 6.3 query.
  const int rows[][12] = {
      {6, 1, 3, 9, 1, 0, 0, -1, 1, 1, 0, 1}, {6, 0, 3, 9, 1, 0, 0, -1, 1, 2, 0, 1}, {6, 0, 2, 0, 0, 0, 0, -1, 1, 3, 0, 0},
      {5, 2, 3, 9, 1, 0, 1, -1, 1, 4, 0, 1}, {5, 2, 3, 0, 0, 0, 1, -1, 1, 4, 0, 0}, {5, 2, 1, 0, 0, 0, 1, -1, 1, 5, 0, 0},
      {5, 2, 3, 9, 1, 0, 0, -1, 1, 6, 0, 1}, {5, 2, 3, 0, 0, 0, 0, -1, 1, 6, 0, 0}, {5, 2, 1, 0, 0, 0, 0, -1, 1, 7, 0, 0},
      {5, 0, 3, 0, 0, 0, 0, -1, 1, 8, 0, 0}, {6, 1, 1, 9, 1, 0, 0, -1, 1, 9, 1, 1}, {6, 1, 1, 0, 0, 0, 0, -1, 1, 10, 1, 0},
      {6, 0, 1, 9, 1, 0, 0, -1, 1, 11, 0, 1}, {6, 0, 1, 0, 0, 0, 0, -1, 1, 12, 0, 0}, {5, 2, 1, 9, 1, 0, 0, -1, 1, 13, 0, 1},
      {5, 1, 1, 0, 0, 0, 0, -1, 1, 14, 0, 0}, {5, 0, 1, 0, 0, 0, 0, -1, 1, 15, 0, 0}, {5, 2, 3, 9, 1, 0x2000, 0, -1, 1, 16, 0, 1},
      {5, 2, 3, 0, 0, 0x2000, 0, -1, 1, 16, 0, 0}, {5, 2, 1, 0, 0, 0x2000, 0, -1, 1, 17, 0, 0}, {6, 1, 3, 9, 1, 0x8000, 0, -1, 1, 18, 0, 1},
      {6, 2, 1, 0, 0, 0, 0, 0, 1, 19, 1, 0}, {6, 2, 1, 9, 1, 0, 0, 0, 1, 20, 1, 1}, {6, 2, 3, 9, 1, 0, 0, 0, 1, 21, 0, 1},
      {6, 3, 1, 0, 0, 0, 0, -1, 1, 22, 1, 0}, {6, 2, 1, 0, 0, 0, 0, 1, 1, 22, 1, 0},
      {6, 3, 1, 9, 1, 0, 0, -1, 1, 23, 1, 1}, {6, 2, 1, 9, 1, 0, 0, 1, 1, 23, 1, 1}, {6, 3, 3, 9, 1, 0, 0, -1, 1, 24, 0, 1},
      {6, 2, 3, 9, 1, 0, 0, 1, 1, 24, 0, 1}, {10, 0, 1, 0, 0, 0, 0, -1, 1, 25, 1, 0}, {10, 0, 1, 9, 1, 0, 0, -1, 1, 26, 1, 1},
      {10, 0, 3, 9, 1, 0, 0, -1, 1, 27, 0, 1}, {10, 0, 2, 9, 1, 0, 0, -1, 1, 27, 0, 1},
      // Unknown releases and Itanium have no code; a workstation of a later release is still supported.
      {10, 1, 1, 9, 1, 0, 0, -1, 1, 0, 1, 1}, {6, 4, 1, 9, 1, 0, 0, -1, 1, 0, 1, 1}, {11, 0, 1, 9, 1, 0, 0, -1, 1, 0, 1, 1},
      {4, 0, 1, 0, 0, 0, 0, -1, 1, 0, 0, 0}, {5, 3, 1, 0, 0, 0, 0, -1, 1, 0, 0, 0}, {10, 0, 1, 6, 1, 0, 0, -1, 1, 0, 1, 1},
      {10, 0, 1, 5, 0, 0, 0, -1, 1, -1, 1, 0},
      // Without native information a process outside WoW64 still sees x64; one under WoW64 sees x86.
      {10, 0, 1, 9, 0, 0, 0, -1, 0, 26, 1, 0}, {10, 0, 1, 9, 1, 0, 0, -1, 0, 25, 1, 0},
  };
  for (const auto& r : rows) {
    SimMachine machine;
    machine.SetWindows(r[0], r[1], r[2], r[3], r[4]);
    machine.Set("Windows", "SuiteMask", std::to_string(r[5]));
    machine.Set("Windows", "R2", std::to_string(r[6]));
    if (r[7] >= 0) machine.Set("Windows", "AtLeast63", std::to_string(r[7]));
    machine.Set("Windows", "NativeInfo", std::to_string(r[8]));
    std::string where;
    for (int i = 0; i < 9; ++i) where += std::to_string(r[i]) + " ";
    if (r[9] >= 0) {
      EXPECT_EQ(r[9], GetOsCode()) << where;
      EXPECT_EQ(r[9] == 0, GetOsName().empty()) << where;
    }
    EXPECT_EQ(r[10] == 1, IsSupportedOs()) << where;
    EXPECT_EQ(r[11] == 1, IsWindows64Bit()) << where;
    // The 2000 / XP / Server 2003 era has the older Japanese UI font, Storage Server 2003 included not.
    if (r[9] >= 0) {
      EXPECT_EQ(r[0] == 5 && r[5] != 0x2000 && r[9] > 0, UsesLegacyUiFont(GetOsCode())) << where;
    }
  }
  // The older font is drawn smaller, in every slot, and is another face.
  const FontSpec legacy = UiFontFor(14), modern = UiFontFor(26);
  EXPECT_NE(legacy.face, modern.face);
  EXPECT_LT(legacy.bodyHeight, modern.bodyHeight);
  EXPECT_LT(legacy.titleHeight, modern.titleHeight);
  EXPECT_EQ(legacy.bodyHeight, legacy.bodyHeight2);
  EXPECT_EQ(modern.titleHeight, modern.titleHeight2);
  EXPECT_LT(NoticeListFontHeight(14), NoticeListFontHeight(26));
  SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  machine.Set("Windows", "PlatformId", "1");  // not NT
  EXPECT_EQ(0, GetOsCode());
  EXPECT_FALSE(IsSupportedOs());
}

const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kUninstall32 = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kUnknown = kUnknownConflictName;
const ConflictPackage kContoso = {L"Contoso AV", L"SOFTWARE\\Contoso\\AV"};

struct Row {
  const char* what;
  Names keys;         // registry keys present (64-bit view paths)
  Names software;     // Uninstall entries' names; "32:" for the 32-bit root, "!" for an unreadable entry (alone: root)
  std::string center;  // securitycenter.ini
  std::vector<ConflictPackage> packages;  // the settings' three lists
  Names softwareNames, centerNames;
  bool found;
  Names names;
  bool centerFlag;
};

const Row kRows[] = {
    {"nothing", {}, {}, "", {kContoso}, {L"contoso"}, {}, false, {}, false},
    {"registry: the first name, the other ways not asked", {kContoso.RegistryKey, L"S\\F"}, {L"Contoso AntiVirus"},
     "[AntiVirusProduct 1]\ndisplayName=Contoso AntiVirus\n", {{L"Absent", L"S\\A"}, kContoso, {L"F", L"S\\F"}},
     {L"contoso"}, {L"Contoso"}, true, {L"Contoso AV"}, false},
    {"a 32-bit product's key is not in the 64-bit view", {L"SOFTWARE\\Wow6432Node\\Contoso\\AV"}, {}, "", {kContoso}, {},
     {}, false, {}, false},
    // The vendor's settings list their own marker under this name: finding it is no conflict.
    {"own marker goes on", {L"S\\T"}, {L"Contoso Suite"}, "", {{L"TAVO Software", L"S\\T"}}, {L"contoso"}, {}, true,
     {L"Contoso Suite"}, false},
    {"own marker is the exact name only", {L"S\\T"}, {}, "", {{L"TAVO Software 2", L"S\\T"}}, {}, {}, true,
     {L"TAVO Software 2"}, false},
    {"empty name gets the fallback", {L"S\\C"}, {}, "", {{L"", L"S\\C"}}, {}, {}, true, {kUnknown}, false},
    {"empty key never matches", {L"S\\C"}, {}, "", {{L"Everything", L""}}, {}, {}, false, {}, false},
    {"names match without case, in both roots, each product once", {},
     {L"Contoso ANTIVIRUS Plus", L"32:Fabrikam Firewall", L"Unrelated", L"32:Contoso ANTIVIRUS Plus", L"!Contoso X"}, "",
     {}, {L"antivirus", L"", L"contoso", L"FABRIKAM"}, {}, true, {L"Contoso ANTIVIRUS Plus", L"Fabrikam Firewall"}, false},
    {"an unreadable root is passed over", {}, {L"Contoso 64", L"32:Contoso 32", L"!"}, "", {}, {L"contoso"}, {}, true,
     {L"Contoso 32"}, false},
    {"empty software name never matches", {}, {L"Contoso", L"", L"32:"}, "", {}, {L""}, {}, false, {}, false},
    {"security center: Defender and own products pass", {}, {}, "[AntiVirusProduct 1]\ndisplayName=Windows Defender\n"
     "[AntiVirusProduct 2]\ndisplayName=TAVO Total Shield\n[AntiSpywareProduct 1]\ndisplayName=Windows Defender AS\n"
     "[FirewallProduct 1]\ndisplayName=Contoso Wall\n", {}, {}, {L"Defender"}, false, {}, false},
    {"case-sensitive filter", {}, {}, "[AntiVirusProduct 1]\ndisplayName=tavo x\n", {}, {}, {}, true, {L"tavo x"}, false},
    {"a name of the security center list sets the flag", {}, {}, "[AntiVirusProduct 1]\ndisplayName=Contoso Antivirus\n"
     "[AntiVirusProduct 2]\ndisplayName=Fabrikam\n[AntiSpywareProduct 1]\ndisplayName=Contoso Antivirus\n", {}, {},
     {L"Contoso", L"", L"Antivirus", L"contoso"}, true, {L"Contoso Antivirus", L"Fabrikam"}, true},
    {"outside the list", {}, {}, "[AntiSpywareProduct 1]\ndisplayName=Fab\n", {}, {}, {L"Contoso"}, true, {L"Fab"}, false},
    {"no name", {}, {}, "[AntiVirusProduct 1]\ncompanyName=N\n", {}, {}, {L"N"}, true, {kUnknown}, false},
    {"a failed query reports nothing", {}, {}, "[Fail]\nAntiVirusProduct=1\n[AntiVirusProduct 1]\ndisplayName=C\n"
     "[AntiSpywareProduct 1]\ndisplayName=Spy\n", {}, {}, {}, true, {L"Spy"}, false},
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
      for (std::wstring name : row.software) {
        const bool in32 = name.rfind(L"32:", 0) == 0, denied = name.rfind(L"!", 0) == 0;
        const std::wstring key = (in32 ? kUninstall32 : kUninstall) + L"{" + std::to_wstring(++n) + L"}";
        machine.SetRegistryString(key, L"DisplayName", name.substr(in32 ? 3 : denied ? 1 : 0));
        if (denied) machine.DenyRegistryKey(name == L"!" ? kUninstall : key);
      }
      machine.WriteFile("securitycenter.ini", row.center);
      LauncherContext context;
      context.Settings.ConflictPackages = row.packages;
      context.Settings.ConflictSoftwareNames = row.softwareNames;
      context.Settings.ConflictSecurityCenterNames = row.centerNames;
      context.DetectedConflictNames = {L"stale"};
      context.SecurityCenterConflict = flagBefore;  // never reset here
      tavo_test::LogCapture log;
      EXPECT_EQ(row.found, DetectConflicts(context.Settings, &context)) << row.what;
      EXPECT_EQ(row.names, context.DetectedConflictNames) << row.what;
      EXPECT_EQ(row.centerFlag || flagBefore, context.SecurityCenterConflict) << row.what;
    }
  }
}

std::wstring InfoKey() {
  std::wstring key = kInstalledProductInfoKey;
  if (key.back() == L'\\') key.pop_back();
  return key;
}

void Install(SimMachine* machine, int edition, const wchar_t* version, const std::wstring& suffix = L"") {
  machine->SetRegistryString(InfoKey(), L"ProductName", EditionProductName(static_cast<ProductEdition>(edition)) + suffix);
  if (version != nullptr) machine->SetRegistryString(InfoKey(), L"ProductVersion", version);
}

TEST(InstalledEdition, OnlyTheExactProductNameInThe64BitViewCounts) {
  for (int installed : {1, 2, 5, 6}) {
    for (const std::wstring suffix : {L"", L" ", L"x"}) {
      SimMachine machine;
      Install(&machine, installed, L"9.0.2032.2", suffix);
      const bool exact = suffix.empty();
      for (int e : {1, 2, 5, 6}) EXPECT_EQ(exact && e == installed, IsEditionInstalled(static_cast<ProductEdition>(e)));
      EXPECT_EQ(exact, IsAnyEditionInstalled());
      EXPECT_EQ(exact && installed <= 2, IsTtsOrTvgInstalled());
    }
  }
  SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  machine.SetRegistryString(L"SOFTWARE\\Wow6432Node\\" + InfoKey().substr(9), L"ProductName", EditionProductName(ProductEdition::TTS));
  EXPECT_FALSE(IsAnyEditionInstalled()) << "under WoW64 the 32-bit view does not count";
  Install(&machine, 1, L"9.0.2032.2");
  machine.SetRegistryString(InfoKey(), L"InstallDir", L"C:\\TAVO\\");
  std::wstring text, folder;
  ASSERT_TRUE(GetInstallDir(&folder) && GetInstalledProductVersion(&text));
  EXPECT_EQ(L"C:\\TAVO\\|9.0.2032.2", folder + L"|" + text);
  machine.DenyRegistryKey(InfoKey());
  EXPECT_FALSE(IsAnyEditionInstalled() || GetInstalledProductVersion(&text)) << "an unreadable key is no product";
}

TEST(InstalledEdition, InstalledVersionMatchesItsVersionEntryByPrefix) {
  for (int index = kFirstVersionIndex; index <= kLastVersionIndex; ++index) {
    const std::wstring prefix = VersionPrefixOf(index);
    std::wstring neighbour = prefix;
    neighbour.back() = neighbour.back() == L'9' ? L'8' : neighbour.back() + 1;
    for (const std::wstring& version : {prefix, prefix + L".1.0", neighbour + L".0.0"}) {
      SimMachine machine;
      Install(&machine, 1, version.c_str());
      EXPECT_EQ(version.rfind(prefix, 0) == 0, InstalledVersionIs(index)) << version;
      EXPECT_FALSE(InstalledVersionIs(kFirstVersionIndex - 1) || InstalledVersionIs(kLastVersionIndex + 1));
    }
  }
  SimMachine machine;
  Install(&machine, 1, nullptr);
  for (int i = kFirstVersionIndex; i <= kLastVersionIndex; ++i) EXPECT_FALSE(InstalledVersionIs(i));
}

std::string VersionFile(const std::string& tts, const std::string& others = "") {
  return "<SetupLauncherVer><SetupLauncherVerData><TTSLatestVersion>" + tts + "</TTSLatestVersion>" + others +
         "</SetupLauncherVerData></SetupLauncherVer>";
}

TEST(EnvironmentChecks, OutcomeTable) {
  const std::string latest = VersionFile("9.0.2032.2", "<TVGLatestVersion>8.1.0.7</TVGLatestVersion><TNSLatestVersion>"
      "10.0.1.0</TNSLatestVersion><TTSPLatestVersion>11.2.3.4</TTSPLatestVersion>");
  const std::string none = "(no file)";
  const struct {
    const char* what;
    int installed;  // edition code; 0 nothing
    const wchar_t* version;
    int32_t productType;
    std::string versionFile;
    bool registryConflict, centerConflict;
    int32_t before, code;
  } rows[] = {
      {"nothing", 0, nullptr, 1, latest, 0, 0, 0, 0}, {"earlier code kept", 0, nullptr, 1, latest, 0, 0, 21, 0},
      {"registry", 0, nullptr, 1, latest, 1, 0, 0, 12}, {"security center", 0, nullptr, 1, latest, 0, 1, 0, 13},
      {"registry first", 0, nullptr, 1, latest, 1, 1, 0, 12}, {"other edition first", 5, L"9.0", 1, latest, 1, 1, 0, 16},
      {"TTS launcher, TVG", 2, L"8.1.0.7", 1, latest, 0, 0, 0, 16}, {"unknown type", 1, L"9.0.2032.2", 3, latest, 0, 0, 0, 16},
      {"latest first", 1, L"9.0.2032.2", 1, latest, 1, 0, 0, 17}, {"newer", 1, L"9.0.2032.3", 1, latest, 0, 0, 0, 17},
      {"older", 1, L"9.0.2032.1", 1, latest, 0, 0, 0, 0}, {"older, conflict", 1, L"9.0.2032.1", 1, latest, 1, 0, 0, 12},
      {"TVG", 2, L"8.1.0.7", 2, latest, 0, 0, 0, 17}, {"TNS", 5, L"10.0.1.0", 5, latest, 0, 0, 0, 17},
      {"TTSP", 6, L"11.2.3.4", 6, latest, 0, 0, 0, 17}, {"no version value", 1, nullptr, 1, latest, 0, 0, 0, 0},
      {"numbers", 1, L"9.0.2032.2", 1, VersionFile("9.0.2032.10"), 0, 0, 0, 0},
      {"numbers, newer", 1, L"9.0.2032.10", 1, VersionFile("9.0.2032.2"), 0, 0, 0, 17},
      {"two parts never latest", 1, L"9.0", 1, VersionFile("9.0"), 0, 0, 0, 0},
      {"no version file", 1, L"9.0.2032.2", 1, none, 0, 0, 0, 0}, {"empty file", 1, L"9.0.2032.2", 1, "", 0, 0, 0, 0},
      {"malformed file", 1, L"9.0.2032.2", 1, "<SetupLauncherVer><oops></SetupLauncherVer>", 0, 0, 0, 0},
      {"edition entry missing: 0.0.0.0", 2, L"9.0.2032.2", 2, VersionFile("9.0.2032.2"), 0, 0, 0, 17},
      {"explicit 0.0.0.0", 1, L"0.0.0.0", 1, VersionFile("0.0.0.0"), 0, 0, 0, 17},
  };
  for (const auto& row : rows) {
    for (CheckCaller caller : {CheckCaller::StartUp, CheckCaller::Frame}) {
      SimMachine machine;
      if (row.registryConflict) machine.SetRegistryString(L"SOFTWARE\\Contoso\\AV", L"Version", L"1");
      if (row.centerConflict) machine.WriteFile("securitycenter.ini", "[AntiVirusProduct 1]\ndisplayName=Contoso AV\n");
      if (row.installed != 0) Install(&machine, row.installed, row.version);
      tavo_test::TempDir work;
      if (row.versionFile != none) tavo_test::WriteBytes(work.File(L"SetupLauncherVer.xml"), row.versionFile);
      LauncherContext context;
      context.WorkFolder = context.LauncherFolder = work.path();
      context.Settings.ProductType = row.productType;
      context.Settings.ConflictPackages = {{L"Contoso AV", L"SOFTWARE\\Contoso\\AV"}};
      context.Settings.ConflictSecurityCenterNames = {L"Contoso"};
      context.ResultCode = row.before;
      tavo_test::LogCapture log;
      EXPECT_EQ(row.code, RunEnvironmentChecks(context.Settings, context, &context, caller)) << row.what;
      EXPECT_EQ(row.code != 0 ? row.code : row.before, context.ResultCode) << row.what;
    }
  }
  // The version file comes from the launcher's own folder for a local installation.
  SimMachine machine;
  Install(&machine, 1, L"9.0.2032.2");
  tavo_test::TempDir work, launcher;
  tavo_test::WriteBytes(launcher.File(L"SetupLauncherVer.xml"), VersionFile("9.0.2032.2"));
  tavo_test::WriteBytes(work.File(L"SetupLauncherVer.xml"), VersionFile("9.1.0.0"));
  LauncherContext context;
  context.WorkFolder = work.path(), context.LauncherFolder = launcher.path();
  tavo_test::LogCapture log;
  for (int32_t installType : {0, 1, 2}) {
    context.Settings.InstallType = installType;
    EXPECT_EQ(installType == 1, IsLatestVersionInstalled(context.Settings, context)) << installType;
  }
}

}  // namespace
