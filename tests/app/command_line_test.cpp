#include <gtest/gtest.h>

#include <tuple>

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
  const struct { const wchar_t* line; bool silent, bySource; uint32_t pid; } more[] = {
      {L"x /quiet", true, false, 0}, {L"x /Q /N", true, false, 0}, {L"x /quieter -q", false, false, 0},
      {L"x /N /O:42 \"a b.xml\" /QUIET", true, true, 42}, {L"x /O:42", false, false, 0}, {L"x /O:0 a", false, false, 0},
      {L"x /O:4294967296 a", false, false, 0}, {L"x /O:1x a /o:1 a", false, false, 0}, {L"x /O:7 a /O b", false, true, 0},
      {L"x /O a /O:4294967295 b", false, true, 4294967295u}};
  for (const auto& row : more) {
    LauncherContext context;
    ApplyArguments(platform::SplitWindowsCommandLine(row.line), &context);
    EXPECT_EQ(std::make_tuple(row.silent, row.bySource, row.pid),
              std::make_tuple(context.Silent, context.StartedBySourceLauncher, context.SourceProcessId)) << row.line;
  }
}

// Quoted arguments split back whole by the system's rules.
TEST(CommandLine, QuotedArgumentsSplitBackWhole) {
  for (const std::wstring arg : {L"", L"a", L"C:\\Users\\A B\\Temp\\", L"a\"b", L"a\\\"b", L"\\\\server\\x y\\\\",
                                 L"\"", L" \t", L"a\\b c"}) {
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\Temp Dir\\Setup.exe", arg, L"/N"}),
              platform::SplitWindowsCommandLine(L"\"C:\\Temp Dir\\Setup.exe\" " + platform::QuoteWindowsArgument(arg) + L" /N"));
  }
}

// Beyond the codes the silent runs of the outcome matrix show: installer codes
// that do not fit, and codes that no silent run gives (a crash, a kill).
TEST(SilentExitCodes, InstallerCodesThatDoNotFitAndCodesOfNoRun) {
  EXPECT_EQ(79999, SilentExitCode(7, 9999, false));
  for (int32_t detail : {-1, 10000}) EXPECT_EQ(70000, SilentExitCode(7, detail, false));
  for (int32_t code : {0, 3010, 10000, 71603, 80004, 210000}) EXPECT_TRUE(IsSilentExitCode(code)) << code;
  for (int32_t code : {-1, 1, 259, 10001, 30001, static_cast<int32_t>(0xC0000005u)}) EXPECT_FALSE(IsSilentExitCode(code));
}

}  // namespace
