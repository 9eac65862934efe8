#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/launcher_context.h"
#include "base/exit_codes.h"
#include "base/text.h"
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
    EXPECT_EQ(!std::wstring(row.source).empty(), context.StartedBySourceLauncher) << row.line;
  }
  // Silent in either case; the process id of the launcher that replaced itself.
  const struct {
    const wchar_t* line;
    bool silent, bySource;
    uint32_t pid;
  } more[] = {
      {L"Setup.exe /quiet", true, false, 0}, {L"Setup.exe /Q", true, false, 0}, {L"Setup.exe /QUIET /N", true, false, 0},
      {L"Setup.exe /quieter", false, false, 0}, {L"Setup.exe -q", false, false, 0},
      {L"Setup.exe /N /O:4242 \"a b.xml\" /quiet", true, true, 4242}, {L"Setup.exe /O:4242", false, false, 0},
      {L"Setup.exe /O:0 a.xml", false, false, 0}, {L"Setup.exe /O:4294967296 a.xml", false, false, 0},
      {L"Setup.exe /O:12x a.xml", false, false, 0}, {L"Setup.exe /o:12 a.xml", false, false, 0},
      {L"Setup.exe /O:7 a.xml /O b.xml", false, true, 0}, {L"Setup.exe /O a.xml /O:4294967295 b.xml", false, true, 4294967295u},
  };
  for (const auto& row : more) {
    LauncherContext context;
    ApplyArguments(platform::SplitWindowsCommandLine(row.line), &context);
    EXPECT_EQ(row.silent, context.Silent) << row.line;
    EXPECT_EQ(row.bySource, context.StartedBySourceLauncher) << row.line;
    EXPECT_EQ(row.pid, context.SourceProcessId) << row.line;
  }
  const std::vector<std::wstring> args = {L"x", L"/O", L"a", L"b", L"/O", L"c"};
  EXPECT_EQ(L"c", GetOptionValue(args, L"/O", 1));
  EXPECT_EQ(L"b", GetOptionValue(args, L"/O", 2));
  EXPECT_EQ(L"", GetOptionValue(args, L"/X", 1));
}

// Quoted arguments split back whole by the system's rules.
TEST(CommandLine, QuotedArgumentsSplitBackWhole) {
  for (const std::wstring arg : {L"", L"a", L"C:\\Users\\A B\\Temp\\", L"a\"b", L"a\\\"b", L"\\\\server\\x y\\\\",
                                 L"\"", L" \t", L"a\\b c"}) {
    const auto args = platform::SplitWindowsCommandLine(L"\"C:\\Temp Dir\\Setup.exe\" " + QuoteCommandLineArgument(arg) + L" /N");
    ASSERT_EQ(3u, args.size()) << arg.c_str();
    EXPECT_EQ(L"C:\\Temp Dir\\Setup.exe", args[0]);
    EXPECT_EQ(arg, args[1]);
  }
}

// The exit codes of silent runs, as the README lists them for administrators.
TEST(SilentExitCodes, OneCodePerResultAndInstallerDetail) {
  const struct {
    int32_t result, detail;
    bool restart;
    int32_t code;
  } rows[] = {{1, 0, false, 0}, {1, 3010, true, 3010}, {0, 0, false, 10000}, {2, 0, false, 20000}, {3, 5, false, 30000},
              {6, 0, false, 60000}, {7, 1603, false, 71603}, {7, 9999, false, 79999}, {7, 10000, false, 70000},
              {7, -1, false, 70000}, {8, 0, false, 80000}, {8, 4, false, 80004}, {8, 7, false, 80007},
              {13, 0, true, 130000}, {15, -1, false, 150000}, {21, 0, false, 210000}};
  for (const auto& row : rows) {
    EXPECT_EQ(row.code, SilentExitCode(row.result, row.detail, row.restart)) << row.result << "/" << row.detail;
    EXPECT_TRUE(IsSilentExitCode(row.code)) << row.code;
  }
  // A crash, a kill or a process that ended for another reason.
  for (int32_t code : {-1, 1, 259, 9999, 10001, 30001, static_cast<int32_t>(0xC0000005u)}) EXPECT_FALSE(IsSilentExitCode(code)) << code;
}

}  // namespace
