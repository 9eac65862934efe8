// The installed edition and version on simulated machines, and what the
// checks before an installation decide from them.
#include <gtest/gtest.h>

#include "app/launcher_context.h"
#include "env/environment_checks.h"
#include "env/installed_edition.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::SimMachine;

std::wstring InfoKey() {
  std::wstring key = kInstalledProductInfoKey;
  if (!key.empty() && key.back() == L'\\') key.pop_back();
  return key;
}

void Install(SimMachine* machine, const std::wstring& name, const wchar_t* version) {
  machine->SetRegistryString(InfoKey(), L"ProductName", name);
  if (version != nullptr) machine->SetRegistryString(InfoKey(), L"ProductVersion", version);
}

const ProductEdition kEditions[] = {ProductEdition::TTS, ProductEdition::TVG, ProductEdition::TNS, ProductEdition::TTSP};

TEST(InstalledEdition, OnlyTheExactProductNameCounts) {
  for (ProductEdition installed : kEditions) {
    const std::wstring name = EditionProductName(installed);
    for (const std::wstring& text : {name, name + L" ", name.substr(0, name.size() - 1), std::wstring(L"")}) {
      SimMachine machine;
      Install(&machine, text, L"9.0.2032.2");
      const bool exact = text == name;
      for (ProductEdition e : kEditions) EXPECT_EQ(exact && e == installed, IsEditionInstalled(e));
      EXPECT_EQ(exact, IsAnyEditionInstalled());
      EXPECT_EQ(exact && (installed == ProductEdition::TTS || installed == ProductEdition::TVG), IsTtsOrTvgInstalled());
    }
  }
  // Under WoW64 only the 64-bit view counts; an unreadable key is no product.
  SimMachine machine;
  machine.SetWindows(10, 0, 1, 9, 1);
  machine.SetRegistryString(L"SOFTWARE\\Wow6432Node\\" + InfoKey().substr(9), L"ProductName",
                            EditionProductName(ProductEdition::TTS));
  EXPECT_FALSE(IsAnyEditionInstalled());
  Install(&machine, EditionProductName(ProductEdition::TTS), L"9.0.2032.2");
  machine.SetRegistryString(InfoKey(), L"InstallDir", L"C:\\TAVO\\");
  std::wstring text;
  ASSERT_TRUE(GetInstallDir(&text));
  EXPECT_EQ(L"C:\\TAVO\\", text);
  ASSERT_TRUE(GetInstalledProductVersion(&text));
  EXPECT_EQ(L"9.0.2032.2", text);
  machine.DenyRegistryKey(InfoKey());
  EXPECT_FALSE(IsAnyEditionInstalled());
  EXPECT_FALSE(GetInstalledProductVersion(&text));
}

TEST(InstalledEdition, InstalledVersionMatchesItsVersionEntryByPrefix) {
  for (int index = kFirstVersionIndex; index <= kLastVersionIndex; ++index) {
    const std::wstring prefix = VersionPrefixOf(index);
    std::wstring other = prefix;
    other.back() = other.back() == L'9' ? L'8' : other.back() + 1;  // a neighbouring release
    const std::pair<std::wstring, bool> versions[] = {{prefix, true}, {prefix + L".1.0", true}, {other + L".0.0", false}};
    for (const auto& version : versions) {
      SimMachine machine;
      Install(&machine, EditionProductName(ProductEdition::TTS), version.first.c_str());
      for (int i = kFirstVersionIndex - 1; i <= kLastVersionIndex + 1; ++i) {
        const bool inTable = i >= kFirstVersionIndex && i <= kLastVersionIndex;
        if (i == index || !inTable) {
          EXPECT_EQ(i == index && version.second, InstalledVersionIs(i)) << version.first.c_str() << " entry " << i;
        }
      }
    }
  }
  SimMachine machine;
  Install(&machine, EditionProductName(ProductEdition::TTS), nullptr);
  for (int i = kFirstVersionIndex; i <= kLastVersionIndex; ++i) EXPECT_FALSE(InstalledVersionIs(i));
}

std::string VersionFile(const std::string& tts, const std::string& others = "") {
  return "<SetupLauncherVer><SetupLauncherVerData><TTSLatestVersion>" + tts + "</TTSLatestVersion>" + others +
         "</SetupLauncherVerData></SetupLauncherVer>";
}
const std::string kLatest = VersionFile("9.0.2032.2", "<TVGLatestVersion>8.1.0.7</TVGLatestVersion>"
    "<TNSLatestVersion>10.0.1.0</TNSLatestVersion><TTSPLatestVersion>11.2.3.4</TTSPLatestVersion>");
const char kNoFile[] = "(no file)";

TEST(EnvironmentChecks, OutcomeTable) {
  struct Row {
    const char* what;
    int installed;  // edition code; 0 nothing
    const wchar_t* version;
    int32_t productType;
    std::string versionFile;
    bool registryConflict, centerConflict;
    int32_t before, code;
  } rows[] = {
      {"nothing", 0, nullptr, 1, kLatest, false, false, 0, 0},
      {"earlier code kept", 0, nullptr, 1, kLatest, false, false, 21, 0},
      {"registry conflict", 0, nullptr, 1, kLatest, true, false, 0, 12},
      {"security center conflict", 0, nullptr, 1, kLatest, false, true, 0, 13},
      {"registry first", 0, nullptr, 1, kLatest, true, true, 0, 12},
      {"other edition over conflicts", 5, L"9.0.2032.2", 1, kLatest, true, true, 0, 16},
      {"TTS launcher, TVG", 2, L"8.1.0.7", 1, kLatest, false, false, 0, 16},
      {"unknown type upgrades nothing", 1, L"9.0.2032.2", 3, kLatest, false, false, 0, 16},
      {"latest over conflict", 1, L"9.0.2032.2", 1, kLatest, true, false, 0, 17},
      {"newer installed", 1, L"9.0.2032.3", 1, kLatest, false, false, 0, 17},
      {"older installed", 1, L"9.0.2032.1", 1, kLatest, false, false, 0, 0},
      {"older installed, conflict", 1, L"9.0.2032.1", 1, kLatest, true, false, 0, 12},
      {"TVG entry", 2, L"8.1.0.7", 2, kLatest, false, false, 0, 17},
      {"TNS entry", 5, L"10.0.1.0", 5, kLatest, false, false, 0, 17},
      {"TTSP entry", 6, L"11.2.3.4", 6, kLatest, false, false, 0, 17},
      {"numbers, not text", 1, L"9.0.2032.2", 1, VersionFile("9.0.2032.10"), false, false, 0, 0},
      {"numbers, newer installed", 1, L"9.0.2032.10", 1, VersionFile("9.0.2032.2"), false, false, 0, 17},
      {"two parts never latest", 1, L"9.0", 1, VersionFile("9.0"), false, false, 0, 0},
      {"no version value", 1, nullptr, 1, kLatest, false, false, 0, 0},
      {"no version file", 1, L"9.0.2032.2", 1, kNoFile, false, false, 0, 0},
      {"malformed version file", 1, L"9.0.2032.2", 1, "<SetupLauncherVer><oops></SetupLauncherVer>", false, false, 0, 0},
      {"empty version file", 1, L"9.0.2032.2", 1, "", false, false, 0, 0},
      {"edition entry missing", 2, L"9.0.2032.2", 2, VersionFile("9.0.2032.2"), false, false, 0, 0},
      {"explicit 0.0.0.0", 1, L"0.0.0.0", 1, VersionFile("0.0.0.0"), false, false, 0, 17},
  };
  for (const Row& row : rows) {
    for (CheckCaller caller : {CheckCaller::StartUp, CheckCaller::Frame}) {
      SimMachine machine;
      if (row.registryConflict) machine.SetRegistryString(L"SOFTWARE\\Contoso\\AV", L"Version", L"1");
      if (row.centerConflict) machine.WriteFile("securitycenter.ini", "[AntiVirusProduct 1]\ndisplayName=Contoso AV\n");
      if (row.installed != 0) Install(&machine, EditionProductName(static_cast<ProductEdition>(row.installed)), row.version);
      tavo_test::TempDir work;
      if (row.versionFile != kNoFile) tavo_test::WriteBytes(work.File(L"SetupLauncherVer.xml"), row.versionFile);
      LauncherContext context;
      context.WorkFolder = work.path();
      context.LauncherFolder = work.path();
      context.Settings.ProductType = row.productType;
      context.Settings.ConflictPackages = {{L"Contoso AV", L"SOFTWARE\\Contoso\\AV"}};
      context.Settings.ConflictSecurityCenterNames = {L"Contoso"};
      context.ResultCode = row.before;
      tavo_test::LogCapture log;
      EXPECT_EQ(row.code, RunEnvironmentChecks(&context, caller)) << row.what;
      EXPECT_EQ(row.code != 0 ? row.code : row.before, context.ResultCode) << row.what;
    }
  }
}

TEST(EnvironmentChecks, VersionFileFolderFollowsInstallType) {
  SimMachine machine;
  Install(&machine, EditionProductName(ProductEdition::TTS), L"9.0.2032.2");
  tavo_test::TempDir work, launcher;
  // The launcher's own folder says "latest", the downloaded one says "older".
  tavo_test::WriteBytes(launcher.File(L"SetupLauncherVer.xml"), VersionFile("9.0.2032.2"));
  tavo_test::WriteBytes(work.File(L"SetupLauncherVer.xml"), VersionFile("9.1.0.0"));
  LauncherContext context;
  context.WorkFolder = work.path();
  context.LauncherFolder = launcher.path();
  tavo_test::LogCapture log;
  for (int32_t installType : {0, 1, 2}) {
    context.Settings.InstallType = installType;
    EXPECT_EQ(installType == 1, IsLatestVersionInstalled(context)) << installType;
  }
}

}  // namespace
