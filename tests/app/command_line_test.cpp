#include <gtest/gtest.h>

#include <tuple>

#include "app/command_line.h"
#include "app/launcher_context.h"
#include "base/exit_codes.h"
#include "base/run_result.h"
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
      {L"x /quiet", true, false, 0}, {L"x /Q /N", true, false, 0}, {L"x /quieter -q", true, false, 0},
      {L"x /N /O:42 \"a b.xml\" /QUIET", true, true, 42}, {L"x /O:42", false, false, 0}, {L"x /O:0 a", false, false, 0},
      {L"x /O:4294967296 a", false, false, 0}, {L"x /O:1x a /o:1 a", false, false, 0}, {L"x /O:7 a /O b", false, true, 0},
      {L"x /O a /O:4294967295 b", false, true, 4294967295u}, {L"x /SourcePid:9 /O a", false, true, 9},
      {L"x /O:7 a /sourcepid:8", false, true, 8}, {L"x /SourcePid:0 /O a", false, true, 0}};
  for (const auto& row : more) {
    LauncherContext context;
    ApplyArguments(platform::SplitWindowsCommandLine(row.line), &context);
    EXPECT_EQ(std::make_tuple(row.silent, row.bySource, row.pid),
              std::make_tuple(context.Silent, context.StartedBySourceLauncher, context.SourceProcessId)) << row.line;
  }
}

// The switches of deployment tools: "/" or "-", in any case; values taken whole; everything else kept as unknown.
TEST(CommandLine, AdministratorsSwitchesAndUnknownArguments) {
  const struct { const wchar_t* line; bool silent, skipUpdate, usage; const wchar_t *log, *proxy, *unknown; } rows[] = {
      {L"x /qn /NORESTART", true, false, false, L"", L"", L""}, {L"x -Silent", true, false, false, L"", L"", L""},
      {L"x /VerySilent", true, false, false, L"", L"", L""},   {L"x /s", true, false, false, L"", L"", L""},
      {L"x -quiet /norestart", true, false, false, L"", L"", L""},
      {L"x -noupdate /LOG \"C:\\a b\\t.log\" -proxy /x", false, true, false, L"C:\\a b\\t.log", L"/x", L""},
      {L"x /quiet /S: --quiet /n N /O /v", true, false, false, L"", L"", L"/S: --quiet /n N"},
      {L"x /LOG=\"C:\\a b.log\" -proxy:h:80 /log= /help", false, false, true, L"C:\\a b.log", L"h:80", L"/log="},
      {L"x /? /log", false, false, true, L"", L"", L"/log"}, {L"/bogus -?", false, false, true, L"", L"", L""}};
  for (const auto& row : rows) {
    LauncherContext context;
    ApplyArguments(platform::SplitWindowsCommandLine(row.line), &context);
    std::wstring unknown;
    for (const auto& arg : context.UnknownArguments) unknown += (unknown.empty() ? L"" : L" ") + arg;
    EXPECT_EQ(std::make_tuple(row.silent, row.skipUpdate, row.usage, std::wstring(row.log), std::wstring(row.proxy),
                              std::wstring(row.unknown)),
              std::make_tuple(context.Silent, context.SkipSelfUpdate, context.ShowUsage, context.LogPath, context.Proxy,
                              unknown)) << row.line;
  }
}

// "/passive" and its spellings show the windows of a silent run; with "/quiet" nothing shows. The log's
// command line keeps everything but the proxy's user name and password.
TEST(CommandLine, PassiveAndTheCommandLineOfTheLog) {
  const struct { const wchar_t* line; bool silent, passive; const wchar_t* logged; } rows[] = {
      {L"x /passive", true, true, L"x /passive"}, {L"x -QB /qr", true, true, L"x -QB /qr"},
      {L"x /qb! /quiet", true, false, L"x /qb! /quiet"}, {L"x /qbx /passives", false, false, L"x /qbx /passives"},
      {L"\"C:\\a b\\Setup.exe\" /proxy u:p@h:1 \"\"", false, false, L"\"C:\\a b\\Setup.exe\" /proxy h:1 \"\""},
      {L"x -PROXY=u:p@h:1 /log:u@v", false, false, L"x -PROXY=h:1 /log:u@v"}};
  for (const auto& row : rows) {
    LauncherContext context;
    const std::vector<std::wstring> args = platform::SplitWindowsCommandLine(row.line);
    ApplyArguments(args, &context);
    EXPECT_EQ(std::make_tuple(row.silent, row.passive, std::wstring(row.logged)),
              std::make_tuple(context.Silent, context.Passive, CommandLineForLog(args))) << row.line;
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
  RunResult result;
  result.ResultCode = 7;
  for (int32_t detail : {-1, 9999, 10000}) {
    result.ResultDetail = detail;
    EXPECT_EQ(detail == 9999 ? 79999 : 70000, SilentExitCode(result, false));
  }
  result = RunResult{};
  result.ResultCode = 2;  // a package download that failed in no known way
  EXPECT_EQ(20000, SilentExitCode(result, false));
  // An installer that left no record: its own code, unless it claimed success.
  result.ResultCode = 15;
  for (auto [unrecorded, want] : {std::pair{1620, 71620}, {1618, 1618}, {0, 150000}, {3010, 150000}, {-1, 150000}}) {
    result.UnrecordedExitCode = unrecorded;
    EXPECT_EQ(want, SilentExitCode(result, false)) << unrecorded;
  }
  result = RunResult{};
  result.ResultCode = 1;
  result.RestartStarted = result.RestartRequested = true;
  EXPECT_EQ(1641, SilentExitCode(result, true));
  for (int32_t code : {0, 3010, 1641, 1618, 1639, 10000, 10001, 71603, 80004, 210000}) EXPECT_TRUE(IsSilentExitCode(code)) << code;
  for (int32_t code : {-1, 1, 259, 10002, 30001, static_cast<int32_t>(0xC0000005u)}) EXPECT_FALSE(IsSilentExitCode(code));
}

}  // namespace
