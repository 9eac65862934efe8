#include <gtest/gtest.h>

#include <regex>

#include "app/startup/setup_app.h"
#include "platform/utf.h"
#include "tests/support/child_process_posix.h"
#include "tests/support/log_reader.h"
#include "tests/support/sim_machine_posix.h"

namespace {

using tavo_test::SimMachine;

// A launcher folder with a copy of the real Setup.exe, run on a simulated machine.
class LauncherRun : public ::testing::Test {
 protected:
  void SetUp() override {
    launcherFolder_ = machine_.folder() + "Launcher/";
    ASSERT_EQ(0, system(("mkdir -p '" + launcherFolder_ + "'").c_str()));
    ASSERT_TRUE(tavo_test::CopyFileTo(TAVO_SETUP_EXE, launcherFolder_ + "Setup.exe", true));
  }
  void WriteLauncherFile(const std::string& name, const std::string& bytes) {
    machine_.WriteFile("Launcher/" + name, bytes);
  }
  tavo_test::ChildResult Run(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> argv = {launcherFolder_ + "Setup.exe"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return tavo_test::RunChild(argv, {{"SETUP_MACHINE", machine_.folder()}});
  }
  tavo_test::DebugLogFile ReadLog() {
    return tavo_test::ReadDebugLog(machine_.TempFolder() + L"TAVODebugLog.txt");
  }
  SimMachine machine_;
  std::string launcherFolder_;
};

TEST_F(LauncherRun, UnreadableSettingsShowOneErrorBoxAndEnd) {
  WriteLauncherFile("SetupLauncherV2.xml", "<LaunchData><LaunchBase>");
  auto result = Run();
  EXPECT_EQ(0, result.exitCode);
  // One box, with the caption and the system error number.
  std::string box = "[エラー] 設定ファイルの読み込みに失敗しました。 (ErrorNumber=";
  size_t first = result.output.find(box);
  ASSERT_NE(std::string::npos, first) << result.output;
  EXPECT_EQ(std::string::npos, result.output.find(box, first + 1));

  auto log = ReadLog();
  EXPECT_TRUE(log.hasBom);
  EXPECT_EQ(1, log.byteOrderMarks);
  EXPECT_TRUE(log.crlfEverywhere);
  ASSERT_EQ(4u, log.entries.size()) << result.output;
  EXPECT_EQ(L"プログラムを開始します。", log.entries[0].text);
  EXPECT_EQ(L"情報", log.entries[0].level);
  EXPECT_EQ(L"エラー", log.entries[1].level);
  EXPECT_TRUE(std::regex_match(platform::WideToUtf8(log.entries[1].text),
                               std::regex("設定ファイルの読み込みに失敗しました。 \\(ERRORCODE [0-9]+\\)")));
  EXPECT_EQ(L"設定ファイルの読み込みに失敗しました。", log.entries[2].text);
  EXPECT_EQ(L"プログラムを終了します。", log.entries[3].text);
}

TEST_F(LauncherRun, MissingSettingsReportFileNotFound) {
  auto result = Run();
  EXPECT_NE(std::string::npos, result.output.find("(ErrorNumber=2)")) << result.output;
  auto log = ReadLog();
  ASSERT_GE(log.entries.size(), 2u);
  EXPECT_EQ(L"設定ファイルの読み込みに失敗しました。 (ERRORCODE 2)", log.entries[1].text);
}

TEST_F(LauncherRun, GoodSettingsRunWithoutAnyBoxAndSecondRunAppends) {
  WriteLauncherFile("SetupLauncherV2.xml",
                    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><LaunchData><LaunchBase><ProductType>5</ProductType>"
                    "</LaunchBase></LaunchData>");
  auto result = Run({"/N"});
  EXPECT_EQ(std::string::npos, result.output.find("[エラー]")) << result.output;
  Run({"/N"});
  auto log = ReadLog();
  EXPECT_EQ(1, log.byteOrderMarks);
  EXPECT_TRUE(log.crlfEverywhere);
  int start = tavo_test::FindEntry(log, L"プログラムを開始します。");
  int info = tavo_test::FindEntry(log, L"ランチャー情報を読み込みました。");
  int end = tavo_test::FindEntry(log, L"プログラムを終了します。");
  EXPECT_EQ(0, start);
  EXPECT_GT(info, start);
  EXPECT_GT(end, info);
  EXPECT_GE(tavo_test::FindEntry(log, L"プログラムを開始します。", end), end);
}

TEST_F(LauncherRun, UnwritableLogDoesNotStopTheLauncher) {
  machine_.Set("Folders", "Temp", "Temp");
  ASSERT_EQ(0, system(("mkdir -p '" + machine_.folder() + "Temp/TAVODebugLog.txt'").c_str()));
  WriteLauncherFile("SetupLauncherV2.xml", "<LaunchData/>");
  auto result = Run({"/N"});
  EXPECT_EQ(0, result.exitCode);
  EXPECT_EQ(std::string::npos, result.output.find("[エラー]")) << result.output;
}

TEST(UpgradeSource, ParentWithAnotherExecutableNameIsNeverTheSource) {
  // The test runner's parent (a shell or ctest) runs another executable.
  uint32_t pid = 0;
  EXPECT_FALSE(FindUpgradeSourceProcess(&pid));
}

}  // namespace
