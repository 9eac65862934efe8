// The simulated machine hands a download from its writer to its hold by a rename and an open: a process of the user
// that puts a file of the same size at the name in between must not have its file held as the download.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/held_file.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

std::function<void(const char*)> afterRename;  // run once, right after the next rename succeeds

}  // namespace

// Stands in for the system's rename in this program, so that the test acts between the rename and the open.
extern "C" int rename(const char* from, const char* to) noexcept {
  static const auto system = reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "rename"));
  const int result = system(from, to);
  if (result == 0 && afterRename) {
    const auto hook = std::move(afterRename);
    afterRename = nullptr;
    hook(to);
  }
  return result;
}

TEST(HeldFilePosix, AFileOfTheSameSizePutAtTheNameAfterTheRenameIsNotHeld) {
  tavo_test::TempDir dir;
  const std::wstring part = dir.File(L"tavo_tns.msi.part"), path = dir.File(L"tavo_tns.msi");
  platform::File written;
  ASSERT_TRUE(written.Open(part, platform::File::Mode::CreateWrite) && written.Write("download", 8));
  afterRename = [](const char* to) {
    ASSERT_EQ(0, std::remove(to));
    ASSERT_TRUE(tavo_test::WriteBytes(platform::Utf8ToWide(to), "planted!"));
  };
  platform::HeldFile held;
  EXPECT_FALSE(held.HoldWritten(&written, part, path)) << "the planted file was held as the download";
  EXPECT_EQ(platform::kErrorFileInvalid, platform::LastError());
  EXPECT_FALSE(held.IsOpen());
  EXPECT_FALSE(afterRename) << "the hand-over made no rename";
}

