#pragma once
#include <string>
#include <vector>

namespace tavo_test {

// Command lines and the arguments the system splits them into. The same table
// checks the portable splitter in both builds and, under Wine, the system's
// own CommandLineToArgvW.
struct CommandLineCase {
  const wchar_t* line;
  std::vector<std::wstring> args;
};

inline const std::vector<CommandLineCase>& CommandLineCases() {
  static const std::vector<CommandLineCase> cases = {
      {L"Setup.exe", {L"Setup.exe"}},
      {L"Setup.exe /N", {L"Setup.exe", L"/N"}},
      {L"Setup.exe   /N\t/O  x", {L"Setup.exe", L"/N", L"/O", L"x"}},
      {L"Setup.exe /N ", {L"Setup.exe", L"/N"}},
      {L"\"C:\\Program Files\\Setup.exe\" /N", {L"C:\\Program Files\\Setup.exe", L"/N"}},
      // The program name takes no escapes: a backslash before its closing quote stays.
      {L"\"C:\\dir\\\" /N", {L"C:\\dir\\", L"/N"}},
      {L"\"a b\"c d", {L"a b", L"c", L"d"}},
      {L"C:\\a\"b c", {L"C:\\a\"b", L"c"}},
      {L"Setup.exe /O \"C:\\Users\\A B\\SetupLauncherV2.xml\"",
       {L"Setup.exe", L"/O", L"C:\\Users\\A B\\SetupLauncherV2.xml"}},
      {L"x \"\"", {L"x", L""}},
      {L"x \"\" y", {L"x", L"", L"y"}},
      {L"x a\\\\b", {L"x", L"a\\\\b"}},
      {L"x a\\\"b", {L"x", L"a\"b"}},
      {L"x a\\\\\"b c\"", {L"x", L"a\\b c"}},
      {L"x a\\\\\\\"b", {L"x", L"a\\\"b"}},
      {L"x \"a\\\\\"", {L"x", L"a\\"}},
      {L"x \"a\"\"b\"", {L"x", L"a\"b"}},
      {L"x \"\"\"a\"\"\"", {L"x", L"\"a\""}},
      {L"x \"\"\"\"", {L"x", L"\""}},
      {L"x a\"b c\"d", {L"x", L"ab cd"}},
      {L"x \"open", {L"x", L"open"}},
      {L"x \"open space", {L"x", L"open space"}},
      {L"x \\\\server\\share", {L"x", L"\\\\server\\share"}},
      {L"x /n /O", {L"x", L"/n", L"/O"}},
      {L"\"\" x", {L"", L"x"}},
  };
  return cases;
}

}  // namespace tavo_test
