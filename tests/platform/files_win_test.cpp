// The file backend on the Windows file system: appending, the sharing that lets two launchers append to one debug
// log, locks, errors.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/error.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::TempDir;

std::string Read(const std::wstring& path) {
  std::string bytes;
  EXPECT_TRUE(platform::ReadWholeFile(path, &bytes));
  return bytes;
}

TEST(FilesWin, AppendAddsAtTheEndAndCreateWriteStartsAgain) {
  TempDir dir;
  const std::wstring path = dir.File(L"データ.bin");
  using Mode = platform::File::Mode;
  for (const auto& step : {std::make_pair(Mode::Append, "ab"), std::make_pair(Mode::Append, "abab"),
                           std::make_pair(Mode::CreateWrite, "ab")}) {
    platform::File file;
    ASSERT_TRUE(file.Open(path, step.first) && file.Write("ab", 2) && file.Close());
    EXPECT_EQ(step.second, Read(path));
  }
}

TEST(FilesWin, AFileBeingWrittenIsSharedButALockedOneIsNot) {
  TempDir dir;
  const std::wstring path = dir.File(L"TAVODebugLog.txt");
  platform::File writer, reader, second, download;
  // A new file (a download's side file) takes no second writer; appenders share.
  ASSERT_TRUE(download.Open(dir.File(L"x.part"), platform::File::Mode::CreateWrite));
  EXPECT_FALSE(second.Open(dir.File(L"x.part"), platform::File::Mode::Append));
  EXPECT_EQ(platform::kErrorSharingViolation, platform::LastError());
  ASSERT_TRUE(writer.Open(path, platform::File::Mode::Append));
  ASSERT_TRUE(writer.Write("line\r\n", 6));
  ASSERT_TRUE(writer.Flush());
  ASSERT_TRUE(reader.Open(path, platform::File::Mode::Read));
  char buffer[16];
  size_t got = 0;
  ASSERT_TRUE(reader.Read(buffer, sizeof(buffer), &got));
  EXPECT_EQ("line\r\n", std::string(buffer, got));
  ASSERT_TRUE(reader.Read(buffer, sizeof(buffer), &got));
  EXPECT_EQ(0u, got);
  EXPECT_FALSE(reader.Write("d", 1));
  EXPECT_EQ(platform::kErrorAccessDenied, platform::LastError());
  EXPECT_TRUE(second.Open(path, platform::File::Mode::Append));  // a second launcher's log writer
  const std::wstring locked = dir.File(L"locked.log");
  HANDLE lock = ::CreateFileW(locked.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  platform::File shut;
  EXPECT_FALSE(shut.Open(locked, platform::File::Mode::Append));
  EXPECT_EQ(platform::kErrorSharingViolation, platform::LastError());
  ::CloseHandle(lock);
  EXPECT_TRUE(shut.Open(locked, platform::File::Mode::Append));
}

// Any process that can open the debug log can take the appenders' lock; it
// costs a writer a bounded wait and a failed write, never a hang.
TEST(FilesWin, ALockHeldByAnotherHandleFailsTheAppendInsteadOfHoldingIt) {
  TempDir dir;
  const std::wstring path = dir.File(L"TAVODebugLog.txt");
  ASSERT_TRUE(platform::WriteWholeFile(path, "x"));
  HANDLE other = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, other);
  OVERLAPPED everything = {};
  ASSERT_TRUE(::LockFileEx(other, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &everything));
  platform::File log;
  ASSERT_TRUE(log.Open(path, platform::File::Mode::Append));
  EXPECT_FALSE(log.Write("y", 1));
  EXPECT_EQ(platform::kErrorLockViolation, platform::LastError());
  ::UnlockFileEx(other, 0, MAXDWORD, MAXDWORD, &everything);
  ::CloseHandle(other);
  EXPECT_TRUE(log.Write("y", 1));
  EXPECT_EQ("xy", Read(path));
}

TEST(FilesWin, FailuresCarryTheSystemError) {
  TempDir dir;
  std::string bytes;
  EXPECT_FALSE(platform::ReadWholeFile(dir.File(L"missing.xml"), &bytes));
  EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());
  EXPECT_FALSE(platform::WriteWholeFile(dir.File(L"no\\such\\folder.xml"), "x"));
  EXPECT_EQ(platform::kErrorPathNotFound, platform::LastError());
  platform::File unopened;
  char buffer[4];
  size_t got = 7;
  EXPECT_FALSE(unopened.Read(buffer, sizeof(buffer), &got));
  EXPECT_EQ(platform::kErrorInvalidHandle, platform::LastError());
  EXPECT_FALSE(unopened.Write("a", 1));
}

}  // namespace
