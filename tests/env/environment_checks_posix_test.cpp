// The pre-installation checks as the start-up sequence and the wizard frame run them.
#include <gtest/gtest.h>

#include "app/launcher_context.h"
#include "env/environment_checks.h"
#include "tests/support/log_capture.h"
#include "tests/support/sim_machine_posix.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::LogCapture;
using tavo_test::SimMachine;
using tavo_test::TempDir;
using Lines = std::vector<std::wstring>;

const wchar_t kInfo[] = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info";

struct CheckRow {
  const char* what;
  bool registryConflict;
  bool securityCenterConflict;  // a Security Center product with a leftover name
  const wchar_t* installed;     // null: nothing installed
  const char* latestTts;        // TTSLatestVersion of the version file
  int32_t productType;
  int32_t initialCode;
  int32_t expectedCode;         // ResultCode afterwards
  int32_t returned;
};

const CheckRow kRows[] = {
    {"nothing", false, false, nullptr, "9.0.2032.2", 1, 0, 0, 0},
    {"earlier code kept", false, false, nullptr, "9.0.2032.2", 1, 21, 21, 0},
    {"registry conflict", true, false, nullptr, "9.0.2032.2", 1, 0, 12, 12},
    {"security center leftover", false, true, nullptr, "9.0.2032.2", 1, 0, 13, 13},
    {"registry wins over security center", true, true, nullptr, "9.0.2032.2", 1, 0, 12, 12},
    {"other edition", false, false, L"TAVO Net Shield", "9.0.2032.2", 1, 0, 16, 16},
    {"other edition beats conflict", true, false, L"TAVO Net Shield", "9.0.2032.2", 1, 0, 16, 16},
    {"other edition beats 13", false, true, L"TAVO Net Shield", "9.0.2032.2", 1, 0, 16, 16},
    {"own edition, latest", false, false, L"TAVO Total Shield", "9.0.2032.2", 1, 0, 17, 17},
    {"own edition, latest beats conflict", true, false, L"TAVO Total Shield", "9.0.2032.2", 1, 0, 17, 17},
    {"own edition, numeric older", false, false, L"TAVO Total Shield", "9.0.2032.10", 1, 0, 0, 0},
    {"own edition, older, conflict", true, false, L"TAVO Total Shield", "9.0.2032.10", 1, 0, 12, 12},
    {"TVG launcher, TVG installed", false, false, L"TAVO Virus Guard", "9.0.2032.2", 2, 0, 0, 0},
};

TEST(RunEnvironmentChecks, ResultCodes) {
  for (const CheckRow& row : kRows) {
    for (CheckCaller caller : {CheckCaller::StartUp, CheckCaller::Frame}) {
      SimMachine machine;
      if (row.registryConflict) machine.SetRegistryString(L"SOFTWARE\\Contoso\\AV", L"Version", L"1");
      if (row.securityCenterConflict) {
        machine.WriteFile("securitycenter.ini", "[AntiVirusProduct 1]\ndisplayName=Contoso Antivirus\n");
      }
      if (row.installed != nullptr) {
        machine.SetRegistryString(kInfo, L"ProductName", row.installed);
        machine.SetRegistryString(kInfo, L"ProductVersion", L"9.0.2032.2");
      }
      TempDir work;
      tavo_test::WriteBytes(work.File(L"SetupLauncherVer.xml"),
                            std::string("<SetupLauncherVer><SetupLauncherVerData><TTSLatestVersion>") + row.latestTts +
                                "</TTSLatestVersion><TVGLatestVersion>9.1.0.0</TVGLatestVersion>"
                                "</SetupLauncherVerData></SetupLauncherVer>");
      LauncherContext context;
      context.WorkFolder = work.path();
      context.LauncherFolder = work.path();
      context.Settings.ProductType = row.productType;
      context.Settings.ConflictPackages = {{L"Contoso AV", L"SOFTWARE\\Contoso\\AV"}};
      context.Settings.ConflictSecurityCenterNames = {L"Contoso"};
      context.ResultCode = row.initialCode;
      LogCapture log;
      EXPECT_EQ(row.returned, RunEnvironmentChecks(&context, caller)) << row.what;
      EXPECT_EQ(row.expectedCode, context.ResultCode) << row.what;
      EXPECT_EQ(row.registryConflict || row.securityCenterConflict, !context.DetectedConflictNames.empty())
          << row.what;
    }
  }
}

TEST(RunEnvironmentChecks, StartUpLinesWithConflictAndOtherEdition) {
  SimMachine machine;
  machine.SetRegistryString(L"SOFTWARE\\Contoso\\AV", L"Version", L"1");
  machine.SetRegistryString(kInfo, L"ProductName", L"TAVO Net Shield");
  LauncherContext context;
  context.Settings.ProductType = 1;
  context.Settings.ConflictPackages = {{L"Contoso AV", L"SOFTWARE\\Contoso\\AV"}};
  LogCapture log;
  EXPECT_EQ(16, RunEnvironmentChecks(&context, CheckCaller::StartUp));
  const auto entries = log.Entries();
  Lines tail;
  int conflictLine = -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].text.rfind(L"競合製品を検出しました。(お知らせ画面スキップ)", 0) == 0) {
      conflictLine = static_cast<int>(i);
      EXPECT_TRUE(entries[i].error);
    }
  }
  ASSERT_GE(conflictLine, 0);
  // An error entry carries the system error code.
  EXPECT_NE(std::wstring::npos, entries[conflictLine].text.find(L" (ERRORCODE "));
  for (size_t i = conflictLine + 1; i < entries.size(); ++i) tail.push_back(entries[i].text);
  EXPECT_EQ((Lines{L"TAVO製品のインストールをチェックします。", L"TAVO Net Shieldがインストールされています。",
                   L"既にTAVO製品がインストールされていますが、アップグレードできません。"}),
            tail);
}

TEST(RunEnvironmentChecks, FrameLinesWithConflictAndLatestVersion) {
  SimMachine machine;
  machine.WriteFile("securitycenter.ini", "[AntiVirusProduct 1]\ndisplayName=Contoso Antivirus\n");
  machine.SetRegistryString(kInfo, L"ProductName", L"TAVO Total Shield");
  machine.SetRegistryString(kInfo, L"ProductVersion", L"9.0.2032.2");
  TempDir work;
  tavo_test::WriteBytes(work.File(L"SetupLauncherVer.xml"),
                        "<SetupLauncherVer><SetupLauncherVerData><TTSLatestVersion>9.0.2032.2</TTSLatestVersion>"
                        "</SetupLauncherVerData></SetupLauncherVer>");
  LauncherContext context;
  context.WorkFolder = work.path();
  context.Settings.ProductType = 1;
  LogCapture log;
  EXPECT_EQ(17, RunEnvironmentChecks(&context, CheckCaller::Frame));
  EXPECT_EQ(17, context.ResultCode);
  const auto entries = log.Entries();
  int conflictLine = -1;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].error) {
      EXPECT_EQ(0u, entries[i].text.rfind(L"競合製品を検出しました。 (ERRORCODE ", 0)) << entries[i].text;
      conflictLine = static_cast<int>(i);
    }
  }
  ASSERT_GE(conflictLine, 0);
  Lines tail;
  for (size_t i = conflictLine + 1; i < entries.size(); ++i) tail.push_back(entries[i].text);
  EXPECT_EQ((Lines{L"TAVO製品のインストールをチェックします。", L"TAVO Total Shieldがインストールされています。",
                   L"最新バージョンを取得します。", L"既にTAVO製品がインストールされていますが、アップグレード不要です。"}),
            tail);
}

TEST(RunEnvironmentChecks, NothingFoundLines) {
  SimMachine machine;
  TempDir work;
  LauncherContext context;
  context.WorkFolder = work.path();
  LogCapture log;
  EXPECT_EQ(0, RunEnvironmentChecks(&context, CheckCaller::Frame));
  EXPECT_EQ((Lines{L"競合製品を確認します。",
                   L"インストールソフトウェア一覧にレジストリキーで検出したソフトウェアが存在しません。",
                   L"TAVO製品のインストールをチェックします。", L"最新バージョンを取得します。"}),
            log.Texts());
}

}  // namespace
