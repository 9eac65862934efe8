// The product installer's log: finding it, classifying it, and taking the error numbers of the failing action from it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/install_result.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

using Lines = std::vector<std::wstring>;
using tavo_test::TempDir;
using tavo_test::WriteBytes;

// The service lines the product installer writes when its service will not stop or go.
const wchar_t kStop[] =
    L"サービス 'TAVO Service' (tvkr) を停止できませんでした。システム サービスを停止する特権を持っていることを確認してください。";
const wchar_t kDelete[] =
    L"サービス 'TAVO Service' (tvkr) を削除できませんでした。システム サービスを削除する特権を持っていることを確認してください。";
const std::wstring kReturning = L"MainEngineThread is returning ";

class InstallerLogTest : public ::testing::Test {
 protected:
  // As the product writes its log: UTF-16LE, with a byte-order mark unless told, CR LF.
  const std::wstring& Write(const Lines& lines, bool bom = true) {
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\r\n";
    EXPECT_TRUE(WriteBytes(path_, (bom ? std::string("\xFF\xFE") : std::string()) + platform::WideToUtf16Le(text)));
    return path_;
  }
  TempDir dir_;
  std::wstring path_ = dir_.File(L"liveinstaller_1.log");
};

TEST_F(InstallerLogTest, ClassesAndTheirOrder) {
  const struct {
    Lines lines;
    int32_t expected;
  } cases[] = {
      {{L"x", kReturning + L"0"}, 0},
      {{kReturning + L"3010"}, 0},
      {{kReturning + L"1601"}, 1},
      {{kReturning + L"1603"}, 2},
      {{kStop, kReturning + L"1603"}, 4},
      {{kReturning + L"1603", kDelete}, 5},
      {{kDelete, kStop, kReturning + L"1603"}, 4},  // stop wins
      {{kStop, kReturning + L"1618"}, 7},           // a service text needs 1603
      {{kReturning + L"1618", kReturning + L"0"}, 0},  // 0 is looked for first, then 1601
      {{kReturning + L"1603", kReturning + L"1601"}, 1},
      {{kReturning + L"1722"}, 99},
      {{L"MainEngineThread is", L"returning 0"}, 99},  // a line split in two
      {{L"mainenginethread is returning 0"}, 99},      // case matters
      {{L""}, 99},                                     // one empty line is not empty
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.expected, ClassifyInstallerLog(Write(c.lines))) << platform::WideToUtf8(c.lines[0]);
    EXPECT_EQ(c.expected, ClassifyInstallerLog(Write(c.lines, false))) << "without byte-order mark";
  }
  EXPECT_EQ(-1, ClassifyInstallerLog(dir_.File(L"missing.log")));
  EXPECT_EQ(-1, ClassifyInstallerLog(Write({})));
  ASSERT_TRUE(WriteBytes(path_, ""));
  EXPECT_EQ(-1, ClassifyInstallerLog(path_));
  // UTF-8 with its mark is read too; a torn last UTF-16 character is dropped.
  ASSERT_TRUE(WriteBytes(path_, "\xEF\xBB\xBF" + platform::WideToUtf8(kReturning + L"1618\r\n")));
  EXPECT_EQ(7, ClassifyInstallerLog(path_));
  ASSERT_TRUE(WriteBytes(path_, "\xFF\xFE" + platform::WideToUtf16Le(L"a\r\nb\nc") + "\x41"));
  EXPECT_EQ((Lines{L"a", L"b", L"c"}), ReadLogLines(path_));
}

Lines InAction(Lines body) {
  body.insert(body.begin(), L"Action start 10:00:00: X.");
  body.push_back(L"Action ended 10:00:01: X. Return value 3.");
  return body;
}

TEST_F(InstallerLogTest, ErrorNumbersOfTheFailingAction) {
  const struct {
    const char* name;
    Lines lines;
    int32_t code;
    const wchar_t* expected;
  } cases[] = {
      {"more than three: the ellipsis once", InAction({L" Error 1 2 3 4 5", L" Error 6"}), 1603, L" [1, 2, 3, ...]"},
      {"duplicates once; the code is left out, and not counted", InAction({L" Error 1920 1603 1920", L" error 1920 2 3"}),
       1603, L" [1920, 2, 3]"},
      {"glued to letters, percent, period, path, slashes, underscore",
       InAction({L" Error KB2999226 1920abc 50% v.1920 C:\\Temp\\1920\\x 12/34 _12 34_"}), 1603, L""},
      {"brackets, commas and colons end a number", InAction({L" Error (1920),2203:1722"}), 1603, L" [1920, 2203, 1722]"},
      {"negative numbers; a lone dash is none", InAction({L" Error -2147024891 - 7 ."}), 1603, L" [-2147024891, 7]"},
      {"Japanese keyword", InAction({L"インストールエラー1722が発生しました"}), 1603, L" [1722]"},
      {"nothing before the first keyword", InAction({L"1111 then Error 2222", L"a エラー 5 and Error 6"}), 1603,
       L" [2222, 5, 6]"},
      {"the keyword needs blanks", InAction({L"Error 1920", L"error: 1920", L"ErrorCode 1920", L"Return 1920"}), 1603, L""},
      {"the action before the first end with 3",
       {L"Action start 1: A.", L" Error 1920 .", L" error 2203: x", L"Action ended 2: A. Return value 3.",
        L" Error 1722 after.", L"Action ended 3: INSTALL. Return value 3."},
       1920, L" [2203]"},
      {"no end with 3: the last action seen",
       {L"Action start 1: A.", L" Error 11 .", L"Action ended 2: A. Return value 1.", L" Error 12 ."}, 0, L" [11]"},
      {"the last start after the last end, never an end, never a start",
       {L" Error 15 .", L"Action ended 2: A. Return value 1.", L"Action start 3: B.", L" Error 13 ."}, 0, L""},
      {"a line with both texts is a start",
       {L"Action start 1: A. Action ended. Return value 3.", L" Error 16 .", L"Action ended 2: A. Return value 3."}, 0,
       L" [16]"},
      {"return value 3 is the whole number",
       {L"Action start 1: A.", L" Error 18 .", L"Action ended 2: A. Return value 30.", L"Action start 3: B.",
        L" Error 19 .", L"Action ended 4: B. Return value 3."},
       0, L" [19]"},
  };
  for (const auto& c : cases) EXPECT_EQ(std::wstring(c.expected), ExtractInstallerErrorNumbers(Write(c.lines), c.code)) << c.name;
  EXPECT_EQ(L"", ExtractInstallerErrorNumbers(dir_.File(L"missing.log"), 1603));
}

TEST(FindInstallerLogFile, LastNameInByteOrderOfTheRetainedOnes) {
  const struct {
    const char* name;
    Lines files, folders;
    const wchar_t* expected;
  } cases[] = {
      {"b and a: b, the newer", {L"liveinstaller_b.log", L"liveinstaller_a.log"}, {}, L"liveinstaller_b.log"},
      {"time stamps: the newest", {L"liveinstaller_20260102090000.log", L"liveinstaller_20260101235959.log"}, {},
       L"liveinstaller_20260102090000.log"},
      {"callback never", {L"liveinstaller_callback.log", L"liveinstaller_z_callback.log", L"liveinstaller_a.log"}, {},
       L"liveinstaller_a.log"},
      {"names are case-sensitive", {L"LiveInstaller_a.log", L"liveinstaller_a.LOG", L"liveinstaller_a.txt"}, {}, L""},
      {"upper case first, non-ASCII last", {L"liveinstaller_\u00e9.log", L"liveinstaller_a.log", L"liveinstaller_B.log"},
       {}, L"liveinstaller_\u00e9.log"},
      {"the texts may stand anywhere", {L"a.log.liveinstaller_1", L"old_liveinstaller_0.log"}, {},
       L"old_liveinstaller_0.log"},
      {"folders are passed over", {L"liveinstaller_a.log"}, {L"liveinstaller_b.log"}, L"liveinstaller_a.log"},
      {"empty folder", {}, {}, L""},
  };
  for (const auto& c : cases) {
    TempDir dir;
    for (const std::wstring& f : c.files) ASSERT_TRUE(WriteBytes(dir.File(f), "x"));
    for (const std::wstring& f : c.folders) ASSERT_TRUE(platform::CreateFolder(dir.File(f)));
    EXPECT_EQ(std::wstring(c.expected), FindInstallerLogFile(dir.path())) << c.name;
    EXPECT_EQ(std::wstring(c.expected), FindInstallerLogFile(dir.path().substr(0, dir.path().size() - 1))) << c.name;
  }
  TempDir dir;
  EXPECT_EQ(L"", FindInstallerLogFile(dir.File(L"missing")));
}

}  // namespace
