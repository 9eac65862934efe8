// Installed edition and version on simulated machines.
#include <gtest/gtest.h>

#include "app/launcher_context.h"
#include "env/installed_edition.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::LogCapture;
using tavo_test::SimMachine;
using tavo_test::TempDir;

const wchar_t kInfo[] = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info";

void Install(SimMachine* machine, const wchar_t* name, const wchar_t* version) {
  if (name != nullptr) machine->SetRegistryString(kInfo, L"ProductName", name);
  if (version != nullptr) machine->SetRegistryString(kInfo, L"ProductVersion", version);
}

struct EditionRow {
  const wchar_t* productName;  // null: no product key at all
  bool tts, tvg, tns, ttsp;
};

const EditionRow kEditionRows[] = {
    {nullptr, false, false, false, false},
    {L"TAVO Total Shield", true, false, false, false},
    {L"TAVO Virus Guard", false, true, false, false},
    {L"TAVO Net Shield", false, false, true, false},
    {L"TAVO Total Shield Plus", false, false, false, true},  // whole text: not TTS
    {L"tavo total shield", false, false, false, false},      // case-sensitive
    {L"TAVO Total Shield ", false, false, false, false},
    {L"TAVO Security", false, false, false, false},
    {L"", false, false, false, false},
};

TEST(InstalledEdition, EditionAnswersByProductName) {
  for (const EditionRow& row : kEditionRows) {
    SimMachine machine;
    Install(&machine, row.productName, L"9.0.2032.2");
    const wchar_t* label = row.productName ? row.productName : L"(none)";
    EXPECT_EQ(row.tts, IsEditionInstalled(ProductEdition::TTS)) << label;
    EXPECT_EQ(row.tvg, IsEditionInstalled(ProductEdition::TVG)) << label;
    EXPECT_EQ(row.tns, IsEditionInstalled(ProductEdition::TNS)) << label;
    EXPECT_EQ(row.ttsp, IsEditionInstalled(ProductEdition::TTSP)) << label;
    EXPECT_EQ(row.tts || row.tvg || row.tns || row.ttsp, IsAnyEditionInstalled()) << label;
    EXPECT_EQ(row.tts || row.tvg, IsTtsOrTvgInstalled()) << label;
  }
}

TEST(InstalledEdition, ValuesAreReadFromTheInfoKey) {
  SimMachine machine;
  std::wstring text = L"unchanged";
  EXPECT_FALSE(GetInstalledProductName(&text));
  EXPECT_FALSE(GetInstalledProductVersion(&text));
  EXPECT_FALSE(GetInstallDir(&text));
  EXPECT_EQ(L"unchanged", text);

  Install(&machine, L"TAVO Virus Guard", L"10.0.1.5");
  machine.SetRegistryString(kInfo, L"InstallDir", L"C:\\Program Files\\TAVO\\TAVO Security\\");
  ASSERT_TRUE(GetInstalledProductName(&text));
  EXPECT_EQ(L"TAVO Virus Guard", text);
  ASSERT_TRUE(GetInstalledProductVersion(&text));
  EXPECT_EQ(L"10.0.1.5", text);
  ASSERT_TRUE(GetInstallDir(&text));
  EXPECT_EQ(L"C:\\Program Files\\TAVO\\TAVO Security\\", text);
  EXPECT_FALSE(GetInstalledProductName(nullptr));
}

TEST(InstalledEdition, Reads64BitViewUnderWow64) {
  {
    // Only the 32-bit view holds the key: the launcher under WoW64 does not see it.
    SimMachine machine;
    machine.SetWindows(10, 0, 1, 9, 1);
    machine.SetRegistryString(L"SOFTWARE\\Wow6432Node\\TAVO\\TAVO Security\\CurrentVersion\\Info", L"ProductName",
                              L"TAVO Total Shield");
    EXPECT_FALSE(IsEditionInstalled(ProductEdition::TTS));
  }
  {
    SimMachine machine;
    machine.SetWindows(10, 0, 1, 9, 1);
    Install(&machine, L"TAVO Total Shield", nullptr);
    EXPECT_TRUE(IsEditionInstalled(ProductEdition::TTS));
  }
  {
    // 32-bit Windows: the one view.
    SimMachine machine;
    machine.SetWindows(10, 0, 1, 0, 0);
    Install(&machine, L"TAVO Net Shield", nullptr);
    EXPECT_TRUE(IsEditionInstalled(ProductEdition::TNS));
  }
}

TEST(InstalledEdition, UnreadableKeyCountsAsNotInstalled) {
  SimMachine machine;
  Install(&machine, L"TAVO Total Shield", L"9.0.2032.2");
  machine.DenyRegistryKey(kInfo);
  EXPECT_FALSE(IsAnyEditionInstalled());
  std::wstring version;
  EXPECT_FALSE(GetInstalledProductVersion(&version));
  EXPECT_FALSE(InstalledVersionIs(9));
}

struct VersionRow {
  const wchar_t* version;  // null: no value
  int matchingIndex;       // 0: none
};

const VersionRow kVersionRows[] = {
    {L"3.0.1.1", 1},   {L"4.0.0.0", 2},    {L"4.2.71.3", 3},  {L"5.0.9.9", 4},  {L"5.2.1.0", 5},
    {L"6.0.0.1", 6},   {L"7.0.2.3", 7},    {L"8.0.4.5", 8},   {L"9.0.2032.2", 9},
    {L"10.0.1", 10},   // three characters would also fit "10."; the row compares four
    {L"10.0.2.0", 10},
    {L"10.1", 0},      {L"10.1.0.0", 0},   {L"4.1.0.0", 0},   {L"2.0.0.0", 0},  {L"11.0.0.0", 0},
    {L"9.0", 9},       // the prefix is all that counts
    {L"4.2", 3},
    {L"", 0},          {nullptr, 0},
};

TEST(InstalledEdition, InstalledVersionIsByPrefix) {
  for (const VersionRow& row : kVersionRows) {
    SimMachine machine;
    Install(&machine, L"TAVO Total Shield", row.version);
    const wchar_t* label = row.version ? row.version : L"(none)";
    for (int index = 0; index <= 11; ++index) {
      EXPECT_EQ(index == row.matchingIndex && index != 0, InstalledVersionIs(index))
          << label << " index " << index;
    }
  }
}

struct OtherEditionRow {
  const wchar_t* installed;  // null: nothing installed
  int32_t productType;       // of the launcher
  bool other;
  const wchar_t* line;       // the line logged for the installed edition, or null
};

const OtherEditionRow kOtherRows[] = {
    {nullptr, 1, false, nullptr},
    {L"TAVO Total Shield", 1, false, L"TAVO Total Shieldがインストールされています。"},
    {L"TAVO Total Shield", 2, true, L"TAVO Total Shieldがインストールされています。"},
    {L"TAVO Virus Guard", 2, false, L"TAVO Virus Guardがインストールされています。"},
    {L"TAVO Virus Guard", 1, true, L"TAVO Virus Guardがインストールされています。"},
    {L"TAVO Net Shield", 1, true, L"TAVO Net Shieldがインストールされています。"},
    {L"TAVO Net Shield", 5, false, L"TAVO Net Shieldがインストールされています。"},
    {L"TAVO Total Shield Plus", 6, false, L"TAVO Total Shield Plusがインストールされています。"},
    {L"TAVO Total Shield Plus", 1, true, L"TAVO Total Shield Plusがインストールされています。"},
    // A launcher for an unknown ProductType cannot upgrade any edition.
    {L"TAVO Total Shield", 3, true, L"TAVO Total Shieldがインストールされています。"},
    {L"Other Product", 1, false, nullptr},
};

TEST(InstalledEdition, OtherEditionInstalled) {
  for (const OtherEditionRow& row : kOtherRows) {
    SimMachine machine;
    Install(&machine, row.installed, L"9.0.2032.2");
    LaunchSettings settings;
    settings.ProductType = row.productType;
    LogCapture log;
    const wchar_t* label = row.installed ? row.installed : L"(none)";
    EXPECT_EQ(row.other, IsOtherEditionInstalled(settings)) << label << " / " << row.productType;
    if (row.line != nullptr) {
      EXPECT_EQ(std::vector<std::wstring>{row.line}, log.Texts()) << label;
    } else {
      EXPECT_TRUE(log.Texts().empty()) << label;
    }
  }
}

std::string VersionFile(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SetupLauncherVer><SetupLauncherVerData>" + body +
         "</SetupLauncherVerData></SetupLauncherVer>\n";
}

std::string AllLatest(const char* tts, const char* tvg, const char* tns, const char* ttsp) {
  return VersionFile(std::string("<TTSLatestVersion>") + tts + "</TTSLatestVersion><TVGLatestVersion>" + tvg +
                     "</TVGLatestVersion><TNSLatestVersion>" + tns + "</TNSLatestVersion><TTSPLatestVersion>" +
                     ttsp + "</TTSPLatestVersion>");
}

struct LatestRow {
  const wchar_t* installed;  // "ProductVersion"; null: absent
  int32_t productType;
  std::string versionFile;   // kNoFile: no file
  bool latest;
  const char* what;
};

const std::string kLatest = AllLatest("9.0.2032.2", "8.1.0.7", "10.0.1.0", "11.2.3.4");
const char kNoFile[] = "(no file)";

const LatestRow kLatestRows[] = {
    {L"9.0.2032.2", 1, kLatest, true, "equal"},
    {L"9.0.2032.3", 1, kLatest, true, "installed newer"},
    {L"9.0.2032.1", 1, kLatest, false, "installed older"},
    {L"8.1.0.7", 2, kLatest, true, "TVG key"},
    {L"8.1.0.7", 1, kLatest, false, "TTS key for TTS"},
    {L"10.0.1.0", 5, kLatest, true, "TNS key"},
    {L"11.2.3.4", 6, kLatest, true, "TTSP key"},
    {L"9.0.2032.2", 3, kLatest, true, "unknown type reads the TTS key"},
    {L"9.0", 1, VersionFile("<TTSLatestVersion>9.0</TTSLatestVersion>"), false, "two parts never latest"},
    {L"9.0", 1, kLatest, false, "installed two parts"},
    {L"9.0.2032.2", 1, VersionFile("<TTSLatestVersion>9.0.2032.10</TTSLatestVersion>"), false,
     "numeric comparison"},
    {L"9.0.2032.10", 1, VersionFile("<TTSLatestVersion>9.0.2032.2</TTSLatestVersion>"), true,
     "numeric comparison, newer installed"},
    {nullptr, 1, kLatest, false, "nothing installed"},
    {L"9.0.2032.2", 1, kNoFile, false, "no version file"},
    {L"9.0.2032.2", 1, "<SetupLauncherVer><oops></SetupLauncherVer>", false, "malformed version file"},
    {L"9.0.2032.2", 1, "", false, "empty version file"},
    // A version file without the edition's entry says nothing about the latest version.
    {L"9.0.2032.2", 2, VersionFile("<TTSLatestVersion>9.0.2032.2</TTSLatestVersion>"), false,
     "edition entry missing"},
    {L"0.0.0.0", 1, VersionFile("<TTSLatestVersion>0.0.0.0</TTSLatestVersion>"), true,
     "explicit 0.0.0.0"},
};

TEST(InstalledEdition, LatestVersionInstalled) {
  for (const LatestRow& row : kLatestRows) {
    SimMachine machine;
    Install(&machine, L"TAVO Total Shield", row.installed);
    TempDir work;
    TempDir launcher;
    LauncherContext context;
    context.WorkFolder = work.path();
    context.LauncherFolder = launcher.path();
    context.Settings.ProductType = row.productType;
    if (row.versionFile != kNoFile) tavo_test::WriteBytes(work.File(L"SetupLauncherVer.xml"), row.versionFile);
    LogCapture log;
    EXPECT_EQ(row.latest, IsLatestVersionInstalled(context)) << row.what;
    ASSERT_FALSE(log.Texts().empty());
    EXPECT_EQ(L"最新バージョンを取得します。", log.Texts().front()) << row.what;
  }
}

TEST(InstalledEdition, VersionFileFolderFollowsInstallType) {
  SimMachine machine;
  Install(&machine, L"TAVO Total Shield", L"9.0.2032.2");
  TempDir work;
  TempDir launcher;
  LauncherContext context;
  context.WorkFolder = work.path();
  context.LauncherFolder = launcher.path();
  // The launcher's own folder says "latest", the downloaded one says "older".
  tavo_test::WriteBytes(launcher.File(L"SetupLauncherVer.xml"), AllLatest("9.0.2032.2", "0", "0", "0"));
  tavo_test::WriteBytes(work.File(L"SetupLauncherVer.xml"), AllLatest("9.1.0.0", "0", "0", "0"));

  context.Settings.InstallType = 1;
  EXPECT_TRUE(IsLatestVersionInstalled(context));
  context.Settings.InstallType = 0;
  EXPECT_FALSE(IsLatestVersionInstalled(context));
  context.Settings.InstallType = 2;
  EXPECT_FALSE(IsLatestVersionInstalled(context));
}

}  // namespace
