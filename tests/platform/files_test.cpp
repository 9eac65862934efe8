// Writers never write through what another process put at their file's name: a link, a hard link, a pipe. Wine makes
// no symbolic links or junctions (its CreateSymbolicLinkW does nothing), so there only hard links are planted.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <string>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

enum class Plant { HardLink, SymbolicLink, Pipe };

bool PlantAt(Plant kind, const std::wstring& path, const std::wstring& victim) {
#ifdef _WIN32
  return kind == Plant::HardLink && ::CreateHardLinkW(path.c_str(), victim.c_str(), nullptr);
#else
  const std::string p = platform::WideToUtf8(path), v = platform::WideToUtf8(victim);
  if (kind == Plant::HardLink) return ::link(v.c_str(), p.c_str()) == 0;
  if (kind == Plant::SymbolicLink) return ::symlink(v.c_str(), p.c_str()) == 0;
  return ::mkfifo(p.c_str(), 0666) == 0;
#endif
}

TEST(Files, NothingPlantedAtTheNameIsWrittenThroughOrRead) {
  using Mode = platform::File::Mode;
  int planted = 0;
  for (Plant kind : {Plant::HardLink, Plant::SymbolicLink, Plant::Pipe}) {
    for (Mode mode : {Mode::Append, Mode::CreateWrite, Mode::ReadOwnFile}) {
      tavo_test::TempDir dir;
      const std::wstring victim = dir.File(L"victim"), name = dir.File(L"TAVODebugLog.txt");
      ASSERT_TRUE(tavo_test::WriteBytes(victim, "victim"));
      if (!PlantAt(kind, name, victim)) continue;
      ++planted;
      platform::File file;
      if (mode == Mode::ReadOwnFile) {
        EXPECT_FALSE(file.Open(name, mode)) << static_cast<int>(kind);
        EXPECT_EQ(platform::kErrorAccessDenied, platform::LastError());
        continue;
      }
      // The thing in the way is replaced by a new file of the writer's own.
      ASSERT_TRUE(file.Open(name, mode) && file.Write("new", 3) && file.Close()) << static_cast<int>(kind);
      EXPECT_EQ("victim", tavo_test::ReadBytes(victim));
      EXPECT_EQ("new", tavo_test::ReadBytes(name));
    }
  }
  EXPECT_GE(planted, 3);
}

// Through a held folder a name is resolved once, by the folder's handle: what holds it is left as it was, and
// what is done to the folder's path after the hold reaches nothing.
TEST(Files, AHeldFolderNeitherFollowsNorRemovesWhatHoldsTheName) {
  using Mode = platform::File::Mode;
  for (Plant kind : {Plant::HardLink, Plant::SymbolicLink, Plant::Pipe}) {
    for (Mode mode : {Mode::Append, Mode::CreateWrite}) {
      tavo_test::TempDir dir;
      const std::wstring victim = dir.File(L"victim"), name = L"TAVODebugLog.txt";
      ASSERT_TRUE(tavo_test::WriteBytes(victim, "victim"));
      if (!PlantAt(kind, dir.File(name), victim)) continue;
      platform::HeldFolder folder;
      platform::File file;
      ASSERT_TRUE(folder.Open(dir.path()));
      EXPECT_FALSE(folder.OpenFile(name, mode, &file)) << static_cast<int>(kind);
      EXPECT_EQ(platform::kErrorAccessDenied, platform::LastError()) << static_cast<int>(kind);
      EXPECT_EQ("victim", tavo_test::ReadBytes(victim));
      platform::File again;
      EXPECT_FALSE(folder.OpenFile(name, mode, &again)) << "the plant is still there";
    }
  }
  tavo_test::TempDir made;
  platform::HeldFolder folder;
  platform::File file;
  const std::wstring separator = made.path().substr(made.path().size() - 1);
  ASSERT_TRUE(folder.OpenMaking(made.File(L"a") + separator + L"b"));
  for (const auto& step : {std::make_pair(Mode::Append, "ab"), std::make_pair(Mode::Append, "abab"),
                           std::make_pair(Mode::CreateWrite, "ab")}) {
    ASSERT_TRUE(folder.OpenFile(L"x.log", step.first, &file) && file.Write("ab", 2) && file.Close());
    EXPECT_EQ(step.second, tavo_test::ReadBytes(made.File(L"a") + separator + L"b" + separator + L"x.log"));
  }
#ifndef _WIN32
  // Windows renames no held folder; a Linux folder can be moved and a link put in its place.
  tavo_test::TempDir dir;
  const std::string logs = platform::WideToUtf8(dir.File(L"logs")), outside = platform::WideToUtf8(dir.File(L"out"));
  ASSERT_EQ(0, ::mkdir(logs.c_str(), 0777));
  ASSERT_EQ(0, ::mkdir(outside.c_str(), 0777));
  platform::HeldFolder held, behind;
  ASSERT_TRUE(held.Open(dir.File(L"logs")));
  ASSERT_EQ(0, ::rename(logs.c_str(), (logs + ".moved").c_str()));
  ASSERT_EQ(0, ::symlink(outside.c_str(), logs.c_str()));
  ASSERT_TRUE(held.OpenFile(L"x.log", Mode::Append, &file) && file.Write("x", 1) && file.Close());
  EXPECT_EQ("x", tavo_test::ReadBytes(dir.File(L"logs.moved/x.log")));
  EXPECT_FALSE(behind.OpenMaking(dir.File(L"logs/a/b"))) << "folders made behind a link";
  EXPECT_NE(0, ::access((outside + "/x.log").c_str(), F_OK));
  EXPECT_NE(0, ::access((outside + "/a").c_str(), F_OK));
#endif
}

}  // namespace
