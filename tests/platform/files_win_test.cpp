// The file backend on the Windows file system: round trips of the files the
// launcher writes (debug log, downloads), sharing, folder listing and errors.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::TempDir;

// Every byte value, the ones a text mode would change among them.
std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  bytes += "\r\n\n\r\x1a";
  return bytes;
}

TEST(FilesWin, WholeFileRoundTripKeepsEveryByte) {
  TempDir dir;
  const std::wstring path = dir.File(L"データ.bin");
  const std::string bytes = AllBytes();
  ASSERT_TRUE(platform::WriteWholeFile(path, bytes));
  std::string read;
  ASSERT_TRUE(platform::ReadWholeFile(path, &read));
  EXPECT_EQ(bytes, read);
  uint64_t size = 0;
  ASSERT_TRUE(platform::GetFileSize(path, &size));
  EXPECT_EQ(bytes.size(), size);

  // Larger than one read chunk.
  const std::string big(300000, 'z');
  ASSERT_TRUE(platform::WriteWholeFile(path, big));
  ASSERT_TRUE(platform::ReadWholeFile(path, &read));
  EXPECT_EQ(big, read);

  ASSERT_TRUE(platform::WriteWholeFile(path, std::string()));
  ASSERT_TRUE(platform::ReadWholeFile(path, &read));
  EXPECT_TRUE(read.empty());
}

TEST(FilesWin, CreateWriteTruncatesAndAppendAddsAtTheEnd) {
  TempDir dir;
  const std::wstring path = dir.File(L"log.txt");
  {
    platform::File file;
    ASSERT_TRUE(file.Open(path, platform::File::Mode::Append));  // creates it
    ASSERT_TRUE(file.Write("one", 3));
  }
  {
    platform::File file;
    ASSERT_TRUE(file.Open(path, platform::File::Mode::Append));
    uint64_t size = 0;
    ASSERT_TRUE(file.Size(&size));
    EXPECT_EQ(3u, size);
    ASSERT_TRUE(file.Write("two", 3));
    ASSERT_TRUE(file.Flush());
    ASSERT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpen());
  }
  std::string read;
  ASSERT_TRUE(platform::ReadWholeFile(path, &read));
  EXPECT_EQ("onetwo", read);

  {
    platform::File file;
    ASSERT_TRUE(file.Open(path, platform::File::Mode::CreateWrite));
    ASSERT_TRUE(file.Write("x", 1));
  }
  ASSERT_TRUE(platform::ReadWholeFile(path, &read));
  EXPECT_EQ("x", read);
}

TEST(FilesWin, ReadReportsZeroAtTheEnd) {
  TempDir dir;
  const std::wstring path = dir.File(L"short.txt");
  ASSERT_TRUE(platform::WriteWholeFile(path, "abc"));
  platform::File file;
  ASSERT_TRUE(file.Open(path, platform::File::Mode::Read));
  char buffer[16];
  size_t got = 99;
  ASSERT_TRUE(file.Read(buffer, sizeof(buffer), &got));
  EXPECT_EQ(3u, got);
  ASSERT_TRUE(file.Read(buffer, sizeof(buffer), &got));
  EXPECT_EQ(0u, got);
  // Writing a file opened for reading is refused by the system.
  EXPECT_FALSE(file.Write("d", 1));
  EXPECT_EQ(platform::kErrorAccessDenied, platform::LastError());
}

TEST(FilesWin, MovedFileKeepsItsHandle) {
  TempDir dir;
  platform::File first;
  ASSERT_TRUE(first.Open(dir.File(L"moved.txt"), platform::File::Mode::CreateWrite));
  platform::File second(std::move(first));
  EXPECT_FALSE(first.IsOpen());
  ASSERT_TRUE(second.IsOpen());
  EXPECT_TRUE(second.Write("ok", 2));
  platform::File third;
  third = std::move(second);
  EXPECT_TRUE(third.Write("!", 1));
  ASSERT_TRUE(third.Close());
  std::string read;
  ASSERT_TRUE(platform::ReadWholeFile(dir.File(L"moved.txt"), &read));
  EXPECT_EQ("ok!", read);
}

TEST(FilesWin, SharingFollowsTheModes) {
  TempDir dir;
  const std::wstring path = dir.File(L"shared.log");
  platform::File writer;
  ASSERT_TRUE(writer.Open(path, platform::File::Mode::CreateWrite));
  ASSERT_TRUE(writer.Write("line\r\n", 6));
  ASSERT_TRUE(writer.Flush());

  // A file being written can be read by others, as the debug log is.
  platform::File reader;
  ASSERT_TRUE(reader.Open(path, platform::File::Mode::Read));
  char buffer[16];
  size_t got = 0;
  ASSERT_TRUE(reader.Read(buffer, sizeof(buffer), &got));
  EXPECT_EQ("line\r\n", std::string(buffer, got));

  // And appended to by a second writer, as two launchers append to one log.
  platform::File second;
  EXPECT_TRUE(second.Open(path, platform::File::Mode::Append));
}

TEST(FilesWin, LockedFileKeepsWritersOut) {
  TempDir dir;
  const std::wstring path = dir.File(L"locked.log");
  HANDLE lock = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  platform::File writer;
  EXPECT_FALSE(writer.Open(path, platform::File::Mode::Append));
  EXPECT_EQ(platform::kErrorSharingViolation, platform::LastError());
  ::CloseHandle(lock);
  EXPECT_TRUE(writer.Open(path, platform::File::Mode::Append));
}

TEST(FilesWin, UnopenedFileRefusesEveryOperation) {
  platform::File file;
  EXPECT_FALSE(file.IsOpen());
  char buffer[4];
  size_t got = 7;
  uint64_t size = 0;
  EXPECT_FALSE(file.Read(buffer, sizeof(buffer), &got));
  EXPECT_EQ(platform::kErrorInvalidHandle, platform::LastError());
  EXPECT_EQ(0u, got);
  EXPECT_FALSE(file.Write("a", 1));
  EXPECT_FALSE(file.Size(&size));
  EXPECT_FALSE(file.Flush());
  EXPECT_TRUE(file.Close());
}

TEST(FilesWin, MissingFilesAndFoldersSetTheSystemError) {
  TempDir dir;
  std::string bytes;
  EXPECT_FALSE(platform::ReadWholeFile(dir.File(L"missing.xml"), &bytes));
  EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());
  EXPECT_FALSE(platform::ReadWholeFile(dir.File(L"no\\such\\folder.xml"), &bytes));
  EXPECT_EQ(platform::kErrorPathNotFound, platform::LastError());
  EXPECT_FALSE(platform::WriteWholeFile(dir.File(L"no\\such\\folder.xml"), "x"));
  EXPECT_EQ(platform::kErrorPathNotFound, platform::LastError());
  EXPECT_FALSE(platform::DeleteFileAt(dir.File(L"missing.xml")));
  EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());
  uint64_t size = 0;
  EXPECT_FALSE(platform::GetFileSize(dir.File(L"missing.xml"), &size));
  std::vector<std::wstring> names;
  EXPECT_FALSE(platform::ListFolder(dir.File(L"missing"), &names));
  EXPECT_NE(0u, platform::LastError());
}

TEST(FilesWin, ExistenceTellsFilesFromFolders) {
  TempDir dir;
  const std::wstring file = dir.File(L"a.txt");
  const std::wstring folder = dir.File(L"sub");
  ASSERT_TRUE(platform::WriteWholeFile(file, "a"));
  ASSERT_TRUE(platform::CreateFolder(folder));
  EXPECT_TRUE(platform::FileExists(file));
  EXPECT_FALSE(platform::FolderExists(file));
  EXPECT_TRUE(platform::FolderExists(folder));
  EXPECT_TRUE(platform::FolderExists(folder + L"\\"));
  EXPECT_FALSE(platform::FileExists(folder));
  EXPECT_FALSE(platform::FileExists(dir.File(L"b.txt")));
  EXPECT_FALSE(platform::FolderExists(dir.File(L"b")));

  // An existing folder is success; a file in its place is not.
  EXPECT_TRUE(platform::CreateFolder(folder));
  EXPECT_FALSE(platform::CreateFolder(file));
  EXPECT_EQ(platform::kErrorAlreadyExists, platform::LastError());
  EXPECT_FALSE(platform::CreateFolder(dir.File(L"x\\y")));

  EXPECT_TRUE(platform::DeleteFileAt(file));
  EXPECT_FALSE(platform::FileExists(file));
}

TEST(FilesWin, ListFolderGivesNamesWithoutDotEntries) {
  TempDir dir;
  ASSERT_TRUE(platform::WriteWholeFile(dir.File(L"tavo1.log"), "1"));
  ASSERT_TRUE(platform::WriteWholeFile(dir.File(L"ログ.txt"), "2"));
  ASSERT_TRUE(platform::CreateFolder(dir.File(L"tavo")));
  std::vector<std::wstring> names = {L"stale"};
  ASSERT_TRUE(platform::ListFolder(dir.path(), &names));
  std::sort(names.begin(), names.end());
  std::vector<std::wstring> expected = {L"tavo", L"tavo1.log", L"ログ.txt"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, names);

  // With or without the trailing separator.
  const std::wstring noSeparator = dir.path().substr(0, dir.path().size() - 1);
  ASSERT_TRUE(platform::ListFolder(noSeparator, &names));
  EXPECT_EQ(3u, names.size());

  ASSERT_TRUE(platform::ListFolder(dir.File(L"tavo"), &names));
  EXPECT_TRUE(names.empty());
}

}  // namespace
