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

}  // namespace
