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
  std::wstring text;
  ASSERT_TRUE(GetInstallDir(&text) && GetInstalledProductVersion(&text));
  EXPECT_EQ(L"9.0.2032.2", text);
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
      {"nothing", 0, nullptr, 1, latest, 0, 0, 0, 0},             {"earlier code kept", 0, nullptr, 1, latest, 0, 0, 21, 0},
      {"registry conflict", 0, nullptr, 1, latest, 1, 0, 0, 12},  {"security center conflict", 0, nullptr, 1, latest, 0, 1, 0, 13},
      {"registry first", 0, nullptr, 1, latest, 1, 1, 0, 12},
      {"other edition over conflicts", 5, L"9.0.2032.2", 1, latest, 1, 1, 0, 16},
      {"TTS launcher, TVG", 2, L"8.1.0.7", 1, latest, 0, 0, 0, 16},
      {"unknown type upgrades nothing", 1, L"9.0.2032.2", 3, latest, 0, 0, 0, 16},
      {"latest over conflict", 1, L"9.0.2032.2", 1, latest, 1, 0, 0, 17},
      {"newer installed", 1, L"9.0.2032.3", 1, latest, 0, 0, 0, 17},
      {"older installed", 1, L"9.0.2032.1", 1, latest, 0, 0, 0, 0},
      {"older installed, conflict", 1, L"9.0.2032.1", 1, latest, 1, 0, 0, 12},
      {"TVG entry", 2, L"8.1.0.7", 2, latest, 0, 0, 0, 17},       {"TNS entry", 5, L"10.0.1.0", 5, latest, 0, 0, 0, 17},
      {"TTSP entry", 6, L"11.2.3.4", 6, latest, 0, 0, 0, 17},
      {"numbers, not text", 1, L"9.0.2032.2", 1, VersionFile("9.0.2032.10"), 0, 0, 0, 0},
      {"numbers, newer installed", 1, L"9.0.2032.10", 1, VersionFile("9.0.2032.2"), 0, 0, 0, 17},
      {"two parts never latest", 1, L"9.0", 1, VersionFile("9.0"), 0, 0, 0, 0},
      {"no version value", 1, nullptr, 1, latest, 0, 0, 0, 0},     {"no version file", 1, L"9.0.2032.2", 1, none, 0, 0, 0, 0},
      {"malformed version file", 1, L"9.0.2032.2", 1, "<SetupLauncherVer><oops></SetupLauncherVer>", 0, 0, 0, 0},
      {"empty version file", 1, L"9.0.2032.2", 1, "", 0, 0, 0, 0},
      {"edition entry missing", 2, L"9.0.2032.2", 2, VersionFile("9.0.2032.2"), 0, 0, 0, 0},
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
      EXPECT_EQ(row.code, RunEnvironmentChecks(&context, caller)) << row.what;
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
  context.WorkFolder = work.path();
  context.LauncherFolder = launcher.path();
  tavo_test::LogCapture log;
  for (int32_t installType : {0, 1, 2}) {
    context.Settings.InstallType = installType;
    EXPECT_EQ(installType == 1, IsLatestVersionInstalled(context)) << installType;
  }
}

}  // namespace
