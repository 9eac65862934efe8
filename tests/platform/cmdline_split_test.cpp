#include <gtest/gtest.h>

#include "platform/cmdline_split.h"
#include "platform/utf.h"
#include "tests/support/cmdline_cases.h"

namespace {

std::string Show(const std::vector<std::wstring>& args) {
  std::string out;
  for (const auto& a : args) out += "[" + platform::WideToUtf8(a) + "]";
  return out;
}

TEST(CommandLineSplit, FollowsTheSystemRules) {
  for (const auto& c : tavo_test::CommandLineCases()) {
    EXPECT_EQ(Show(c.args), Show(platform::SplitWindowsCommandLine(c.line))) << platform::WideToUtf8(c.line);
  }
}

TEST(CommandLineSplit, EmptyLineGivesOneEmptyProgramName) {
  EXPECT_EQ(std::vector<std::wstring>{L""}, platform::SplitWindowsCommandLine(L""));
}

}  // namespace
