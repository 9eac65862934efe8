// The product installer's log: finding it, classifying it and taking the
// error numbers of the failing action from it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/paths.h"
#include "install/install_result.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::TempDir;
using tavo_test::WriteBytes;

const wchar_t kStop[] =
    L"サービス 'TAVO Service' (tvkr) を停止できませんでした。システム サービスを停止する特権を持っていることを確認してください。";
const wchar_t kDelete[] =
    L"サービス 'TAVO Service' (tvkr) を削除できませんでした。システム サービスを削除する特権を持っていることを確認してください。";

// The lines as the product writes its log: UTF-16LE with a byte-order mark, CR LF.
std::string Utf16Log(const std::vector<std::wstring>& lines, bool bom = true) {
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\r\n";
  return (bom ? std::string("\xFF\xFE") : std::string()) + platform::WideToUtf16Le(text);
}

class InstallerLogTest : public ::testing::Test {
 protected:
  std::wstring Write(const std::vector<std::wstring>& lines, bool bom = true) {
    EXPECT_TRUE(WriteBytes(path_, Utf16Log(lines, bom)));
    return path_;
  }
  TempDir dir_;
  std::wstring path_ = dir_.File(L"liveinstaller_1.log");
};

// --- classes ------------------------------------------------------------------

struct ClassCase {
  const char* name;
  std::vector<std::wstring> lines;
  int32_t expected;
};

TEST_F(InstallerLogTest, ClassesFollowTheTableOrder) {
  const std::vector<ClassCase> cases = {
      {"returned 0", {L"x", L"MainEngineThread is returning 0"}, 0},
      {"returned 3010", {L"MainEngineThread is returning 3010"}, 0},
      {"1601", {L"MainEngineThread is returning 1601"}, 1},
      {"1603 without cause", {L"MainEngineThread is returning 1603"}, 2},
      {"1603, service not stopped", {kStop, L"MainEngineThread is returning 1603"}, 4},
      {"1603, service not deleted", {L"MainEngineThread is returning 1603", kDelete}, 5},
      {"1603, both texts: stop wins", {kDelete, kStop, L"MainEngineThread is returning 1603"}, 4},
      {"service text without 1603", {kStop, L"MainEngineThread is returning 1618"}, 7},
      {"1618", {L"MainEngineThread is returning 1618"}, 7},
      {"0 and 1618: 0 is tested first", {L"MainEngineThread is returning 1618", L"MainEngineThread is returning 0"}, 0},
      {"1601 before 1603", {L"MainEngineThread is returning 1603", L"MainEngineThread is returning 1601"}, 1},
      {"no known line", {L"MainEngineThread is returning 1722"}, 99},
      {"a line split in two is no match", {L"MainEngineThread is", L"returning 0"}, 99},
      {"case matters", {L"mainenginethread is returning 0"}, 99},
      {"one empty line is not empty", {L""}, 99},
  };
  for (const ClassCase& c : cases) {
    EXPECT_EQ(c.expected, ClassifyInstallerLog(Write(c.lines))) << c.name;
    EXPECT_EQ(c.expected, ClassifyInstallerLog(Write(c.lines, false))) << c.name << " (without byte-order mark)";
  }
}

TEST_F(InstallerLogTest, MissingEmptyOrMarkOnlyFilesAreClassMinusOne) {
  EXPECT_EQ(-1, ClassifyInstallerLog(dir_.File(L"missing.log")));
  ASSERT_TRUE(WriteBytes(path_, ""));
  EXPECT_EQ(-1, ClassifyInstallerLog(path_));
  ASSERT_TRUE(WriteBytes(path_, "\xFF\xFE"));
  EXPECT_EQ(-1, ClassifyInstallerLog(path_));
}

TEST_F(InstallerLogTest, ReadsLinesWithoutLineEndsAndToleratesUtf8AndATornTail) {
  ASSERT_TRUE(WriteBytes(path_, "\xFF\xFE" + platform::WideToUtf16Le(L"a\r\nb\nc") + "\x41"));
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"c"}), ReadLogLines(path_));
  ASSERT_TRUE(WriteBytes(path_, "\xEF\xBB\xBF" + platform::WideToUtf8(L"MainEngineThread is returning 1618\r\n")));
  EXPECT_EQ(7, ClassifyInstallerLog(path_));
}

// --- error numbers ---------------------------------------------------------

const std::vector<std::wstring> kFailingAction = {
    L"MSI (s) (A4:B8) [10:00:00:000]: Doing action: InstallFiles",
    L"Action start 10:00:00: InstallServices.",
    L"MSI (s) (A4:B8) [10:00:01:000]: Product: TAVO -- Error 1920. Service 'TAVO Service' (tvkr) failed to start.",
    L"MSI (s) (A4:B8) [10:00:02:000]: Product: TAVO -- Error 1920 again.",
    L"MSI (s) (A4:B8) [10:00:02:500]: Product: TAVO -- error 2203: Database: C:\\x.msi opened.",
    L"Action ended 10:00:03: InstallServices. Return value 3.",
    L"MSI (s) (A4:B8) [10:00:04:000]: Product: TAVO -- Error 1722 after the failure.",
    L"Action ended 10:00:05: INSTALL. Return value 3.",
};

TEST_F(InstallerLogTest, FailingActionGivesItsNumbersWithoutTheCode) {
  Write(kFailingAction);
  EXPECT_EQ(L" [1920, 2203]", ExtractInstallerErrorNumbers(path_, 1603));
  EXPECT_EQ(L" [2203]", ExtractInstallerErrorNumbers(path_, 1920));
  EXPECT_EQ(L" [1920, 2203]", ExtractInstallerErrorNumbers(path_, 0));
}

struct ExtractCase {
  const char* name;
  std::vector<std::wstring> lines;  // inside one failing action
  int32_t code;
  const wchar_t* expected;
};

std::vector<std::wstring> InAction(std::vector<std::wstring> body) {
  body.insert(body.begin(), L"Action start 10:00:00: X.");
  body.push_back(L"Action ended 10:00:01: X. Return value 3.");
  return body;
}

TEST_F(InstallerLogTest, NumberRulesOfOneLine) {
  const std::vector<ExtractCase> cases = {
      {"more than three: the ellipsis once", {L" Error 1 2 3 4 5", L" Error 6"}, 1603, L" [1, 2, 3, ...]"},
      {"ellipsis after three of several lines", {L" Error 1", L" Error 2 3", L" Error 4", L" Error 5"}, 1603,
       L" [1, 2, 3, ...]"},
      {"duplicates once", {L" Error 1920 1920", L" error 1920"}, 1603, L" [1920]"},
      {"the code is left out", {L" Error 1603 1920"}, 1603, L" [1920]"},
      {"the code does not count toward three", {L" Error 1603 1 2 3"}, 1603, L" [1, 2, 3]"},
      {"glued to letters before", {L" Error KB2999226 installed"}, 1603, L""},
      {"glued to letters after", {L" Error 1920abc"}, 1603, L""},
      {"followed by percent", {L" Error at 50% done"}, 1603, L""},
      {"after a period", {L" Error v.1920"}, 1603, L""},
      {"a path", {L" Error C:\\Temp\\1920\\x"}, 1603, L""},
      {"slashes on both sides", {L" Error 12/34"}, 1603, L""},
      {"underscore", {L" Error _12 34_"}, 1603, L""},
      {"brackets, commas and colons end a number", {L" Error (1920),2203:1722"}, 1603, L" [1920, 2203, 1722]"},
      {"negative numbers", {L" Error -2147024891 ."}, 1603, L" [-2147024891]"},
      {"a lone dash is no number", {L" Error 1920 - Service failed"}, 1603, L" [1920]"},
      {"Japanese keyword", {L"インストールエラー1722が発生しました"}, 1603, L" [1722]"},
      {"nothing before the first keyword", {L"1111 then Error 2222"}, 1603, L" [2222]"},
      {"the earliest keyword counts", {L"a エラー 5 and Error 6"}, 1603, L" [5, 6]"},
      {"keyword needs blanks", {L"Error 1920", L"error: 1920", L"ErrorCode 1920"}, 1603, L""},
      {"line end ends a number", {L" Error 1920"}, 1603, L" [1920]"},
      {"no keyword", {L"Return value 1920 is not an error"}, 1603, L""},
  };
  for (const ExtractCase& c : cases) {
    Write(InAction(c.lines));
    EXPECT_EQ(std::wstring(c.expected), ExtractInstallerErrorNumbers(path_, c.code)) << c.name;
  }
}

TEST_F(InstallerLogTest, OnlyTheFailingActionIsSearched) {
  // No action ended with 3: the last action seen is searched.
  Write({L"Action start 1: A.", L" Error 11 .", L"Action ended 2: A. Return value 1.", L" Error 12 ."});
  EXPECT_EQ(L" [11]", ExtractInstallerErrorNumbers(path_, 1603));
  // The last start lies after the last end: nothing.
  Write({L"Action start 1: A.", L"Action ended 2: A. Return value 1.", L"Action start 3: B.", L" Error 13 ."});
  EXPECT_EQ(L"", ExtractInstallerErrorNumbers(path_, 1603));
  // Never an end, or never a start.
  Write({L"Action start 1: A.", L" Error 14 ."});
  EXPECT_EQ(L"", ExtractInstallerErrorNumbers(path_, 1603));
  Write({L" Error 15 .", L"Action ended 2: A. Return value 3."});
  EXPECT_EQ(L"", ExtractInstallerErrorNumbers(path_, 1603));
  // A line with both texts is a start.
  Write({L"Action start 1: A. Action ended. Return value 3.", L" Error 16 .", L"Action ended 2: A. Return value 3.",
         L"Action start 3: B.", L" Error 17 .", L"Action ended 4: B. Return value 3."});
  EXPECT_EQ(L" [16]", ExtractInstallerErrorNumbers(path_, 1603));
  // Return value 3 must be the whole number.
  Write({L"Action start 1: A.", L" Error 18 .", L"Action ended 2: A. Return value 30.", L"Action start 3: B.",
         L" Error 19 .", L"Action ended 4: B. Return value 3."});
  EXPECT_EQ(L" [19]", ExtractInstallerErrorNumbers(path_, 1603));
  EXPECT_EQ(L"", ExtractInstallerErrorNumbers(dir_.File(L"missing.log"), 1603));
}

// --- finding the log ---------------------------------------------------------

TEST(FindInstallerLogFile, FirstNameInByteOrderOfTheRetainedOnes) {
  struct Case {
    const char* name;
    std::vector<std::wstring> files;
    std::vector<std::wstring> folders;
    const wchar_t* expected;
  };
  const std::vector<Case> cases = {
      {"b and a: a", {L"liveinstaller_b.log", L"liveinstaller_a.log"}, {}, L"liveinstaller_a.log"},
      {"callback never", {L"liveinstaller_callback.log", L"liveinstaller_z.log"}, {}, L"liveinstaller_z.log"},
      {"only callback", {L"liveinstaller_a_callback.log"}, {}, L""},
      {"names are case-sensitive", {L"LiveInstaller_a.log", L"liveinstaller_a.LOG", L"liveinstaller_a.txt"}, {}, L""},
      {"upper case sorts first", {L"liveinstaller_a.log", L"liveinstaller_B.log"}, {}, L"liveinstaller_B.log"},
      {"the texts may stand anywhere", {L"x.log.liveinstaller_1", L"old_liveinstaller_0.log"}, {},
       L"old_liveinstaller_0.log"},
      {"folders are passed over", {L"liveinstaller_b.log"}, {L"liveinstaller_a.log"}, L"liveinstaller_b.log"},
      {"empty folder", {}, {}, L""},
  };
  for (const Case& c : cases) {
    TempDir dir;
    for (const std::wstring& f : c.files) ASSERT_TRUE(WriteBytes(dir.File(f), "x"));
    for (const std::wstring& f : c.folders) ASSERT_TRUE(platform::CreateFolder(dir.File(f)));
    EXPECT_EQ(std::wstring(c.expected), FindInstallerLogFile(dir.path())) << c.name;
    std::wstring bare = dir.path();
    bare.pop_back();
    EXPECT_EQ(std::wstring(c.expected), FindInstallerLogFile(bare)) << c.name << " (no trailing separator)";
  }
  TempDir dir;
  EXPECT_EQ(L"", FindInstallerLogFile(dir.File(L"missing")));
}

TEST(FindInstallerLogFile, NonAsciiNamesSortAfterAscii) {
  TempDir dir;
  ASSERT_TRUE(WriteBytes(dir.File(L"liveinstaller_\u00e9.log"), "x"));
  ASSERT_TRUE(WriteBytes(dir.File(L"liveinstaller_z.log"), "x"));
  EXPECT_EQ(L"liveinstaller_z.log", FindInstallerLogFile(dir.path()));
}

}  // namespace
