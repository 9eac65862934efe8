#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/launcher_context.h"
#include "platform/cmdline_split.h"

namespace {

struct ArgumentCase {
  const wchar_t* line;
  bool noUpdate;
  const wchar_t* source;
};

TEST(CommandLine, SwitchesAreExactAndTheLastValueWins) {
  const ArgumentCase cases[] = {
      {L"Setup.exe", false, L""},
      {L"Setup.exe /N", true, L""},
      {L"Setup.exe /n", false, L""},
      {L"Setup.exe /N /O a.xml", true, L"a.xml"},
      {L"Setup.exe /O a.xml /O b.xml", false, L"b.xml"},
      {L"Setup.exe /O a.xml /O", false, L"a.xml"},
      {L"Setup.exe /O", false, L""},
      {L"Setup.exe /o a.xml", false, L""},
      {L"Setup.exe /O \"C:\\My Files\\SetupLauncherV2.xml\" /N", true, L"C:\\My Files\\SetupLauncherV2.xml"},
      {L"Setup.exe /O /N", true, L"/N"},
      {L"/N", true, L""},
  };
  for (const auto& c : cases) {
    LauncherContext context;
    ApplyArguments(platform::SplitWindowsCommandLine(c.line), &context);
    EXPECT_EQ(c.noUpdate, context.NoUpdate) << c.line;
    EXPECT_EQ(std::wstring(c.source), context.SourceSettingsPath);
  }
}

TEST(CommandLine, OptionValueAtOffset) {
  std::vector<std::wstring> args = {L"x", L"/O", L"a", L"b", L"/O", L"c"};
  EXPECT_EQ(L"c", GetOptionValue(args, L"/O", 1));
  EXPECT_EQ(L"b", GetOptionValue(args, L"/O", 2));
  EXPECT_EQ(L"", GetOptionValue(args, L"/X", 1));
}

TEST(CommandLine, WorkingPathsComeFromTheTemporaryAndLauncherFolders) {
  LauncherContext context;
  ASSERT_TRUE(LoadCommonData(&context));
  ASSERT_FALSE(context.WorkFolder.empty());
  ASSERT_FALSE(context.LauncherFolder.empty());
  const wchar_t sep = context.WorkFolder.back();
  EXPECT_EQ(sep, context.LauncherFolder.back());
  EXPECT_EQ(context.WorkFolder + L"DownloadConfig.xml", context.DownloadConfigPath);
  EXPECT_EQ(context.WorkFolder + L"TAVODebugLog.txt", context.DebugLogPath);
  EXPECT_EQ(context.LauncherFolder + L"SetupLauncherV2.xml", context.LaunchSettingsPath);
  EXPECT_EQ(context.LaunchSettingsPath, context.SourceSettingsPath);
  EXPECT_EQ(context.LauncherFolder + L"SetupNotification.xml", context.NotificationPath);
  // Whatever the test executable is called, the launcher's own path is Setup.exe.
  EXPECT_EQ(context.LauncherFolder + L"Setup.exe", context.LauncherExePath);
}

TEST(CommandLine, GivenSourceSettingsPathIsKept) {
  LauncherContext context;
  context.SourceSettingsPath = L"elsewhere.xml";
  ASSERT_TRUE(LoadCommonData(&context));
  EXPECT_EQ(L"elsewhere.xml", context.SourceSettingsPath);
}

}  // namespace
