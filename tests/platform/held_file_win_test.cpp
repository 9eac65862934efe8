// A held file under Windows' sharing rules: while the launcher holds a checked file, no process can write, rename
// or delete it, and readers (an installer, the next launcher taking the hold over) still can.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/files.h"
#include "platform/held_file.h"
#include "tests/support/temp_dir.h"

namespace {

DWORD OpenError(const std::wstring& path, DWORD access, DWORD share) {
  HANDLE h = ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return ::GetLastError();
  ::CloseHandle(h);
  return ERROR_SUCCESS;
}

TEST(HeldFileWin, NobodyWritesRenamesOrDeletesAHeldFileButReadersOpenIt) {
  tavo_test::TempDir dir;
  const std::wstring path = dir.File(L"tavo_tns.msi"), other = dir.File(L"planted.msi");
  ASSERT_TRUE(platform::WriteWholeFile(path, "checked") && platform::WriteWholeFile(other, "planted"));
  platform::HeldFile held;
  ASSERT_TRUE(held.Open(path));
  const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  EXPECT_EQ(DWORD{ERROR_SHARING_VIOLATION}, OpenError(path, GENERIC_WRITE, all));
  EXPECT_EQ(DWORD{ERROR_SHARING_VIOLATION}, OpenError(path, DELETE, all));
  EXPECT_FALSE(::DeleteFileW(path.c_str()));
  EXPECT_FALSE(::MoveFileExW(other.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING));
  EXPECT_FALSE(::MoveFileExW(path.c_str(), dir.File(L"away.msi").c_str(), 0));
  EXPECT_EQ(DWORD{ERROR_SUCCESS}, OpenError(path, GENERIC_READ, FILE_SHARE_READ));  // the installer reads it
  platform::HeldFile next;
  EXPECT_TRUE(next.Open(path));  // a second holder takes over before the first lets go
  held.Close();
  EXPECT_EQ(DWORD{ERROR_SHARING_VIOLATION}, OpenError(path, GENERIC_WRITE, all));
  EXPECT_TRUE(next.Unchanged());
  char buffer[16];
  size_t got = 0;
  ASSERT_TRUE(next.Read(buffer, sizeof(buffer), &got));
  EXPECT_EQ("checked", std::string(buffer, got));
  next.Close();
  EXPECT_EQ(DWORD{ERROR_SUCCESS}, OpenError(path, GENERIC_WRITE | DELETE, 0));
}

// A written file is moved into place through its writer's handle, over an earlier file, and held there; a name
// held by someone else is not replaced, and nothing is held then.
TEST(HeldFileWin, AWrittenFileIsMovedIntoPlaceThroughItsOwnHandleAndHeld) {
  tavo_test::TempDir dir;
  const std::wstring part = dir.File(L"DownloadConfig.xml.part"), path = dir.File(L"DownloadConfig.xml");
  ASSERT_TRUE(platform::WriteWholeFile(path, "earlier"));
  platform::File written;
  ASSERT_TRUE(written.Open(part, platform::File::Mode::CreateWrite) && written.Write("<written/>", 10));
  platform::HeldFile held;
  ASSERT_TRUE(held.HoldWritten(&written, part, path)) << ::GetLastError();
  EXPECT_FALSE(written.IsOpen());
  EXPECT_FALSE(platform::FileExists(part));
  EXPECT_EQ(DWORD{ERROR_SHARING_VIOLATION}, OpenError(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
  char buffer[16];
  size_t got = 0;
  ASSERT_TRUE(held.Read(buffer, sizeof(buffer), &got));
  EXPECT_EQ("<written/>", std::string(buffer, got));
  EXPECT_TRUE(held.Unchanged());

  platform::File second;
  ASSERT_TRUE(second.Open(part, platform::File::Mode::CreateWrite) && second.Write("x", 1));
  platform::HeldFile other;
  EXPECT_FALSE(other.HoldWritten(&second, part, path));
  EXPECT_FALSE(other.IsOpen() || second.IsOpen());
  ASSERT_TRUE(held.Rewind() && held.Read(buffer, sizeof(buffer), &got));
  EXPECT_EQ("<written/>", std::string(buffer, got));
}

}  // namespace
