#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/launcher_context.h"
#include "platform/cmdline_split.h"

namespace {

TEST(CommandLine, SwitchesAreExactAndTheLastValueWins) {
  struct Row {
    const wchar_t* line;
    bool noUpdate;
    const wchar_t* source;
  } rows[] = {
      {L"Setup.exe", false, L""}, {L"Setup.exe /N", true, L""}, {L"Setup.exe /n", false, L""}, {L"/N", true, L""},
      {L"Setup.exe /N /O a.xml", true, L"a.xml"}, {L"Setup.exe /O a.xml /O b.xml", false, L"b.xml"},
      {L"Setup.exe /O a.xml /O", false, L"a.xml"}, {L"Setup.exe /O", false, L""}, {L"Setup.exe /o a.xml", false, L""},
      {L"Setup.exe /O \"C:\\My Files\\SetupLauncherV2.xml\" /N", true, L"C:\\My Files\\SetupLauncherV2.xml"},
      {L"Setup.exe /O /N", true, L"/N"},
  };
  for (const auto& row : rows) {
    LauncherContext context;
    ApplyArguments(platform::SplitWindowsCommandLine(row.line), &context);
    EXPECT_EQ(row.noUpdate, context.NoUpdate) << row.line;
    EXPECT_EQ(std::wstring(row.source), context.SourceSettingsPath) << row.line;
  }
  const std::vector<std::wstring> args = {L"x", L"/O", L"a", L"b", L"/O", L"c"};
  EXPECT_EQ(L"c", GetOptionValue(args, L"/O", 1));
  EXPECT_EQ(L"b", GetOptionValue(args, L"/O", 2));
  EXPECT_EQ(L"", GetOptionValue(args, L"/X", 1));
}

}  // namespace
