// A program is started by its path only when no link lies on that path.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/code_signature.h"
#include "platform/held_file.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(VendorKeysPosix, AProgramReachedThroughALinkIsNotStartedByThatPath) {
  tavo_test::TempDir dir;
  ASSERT_EQ(0, ::mkdir(platform::WideToUtf8(dir.File(L"real")).c_str(), 0700));
  ASSERT_TRUE(tavo_test::WriteBytes(dir.File(L"real/setup.exe"), "MZ"));
  ASSERT_EQ(0, ::symlink(platform::WideToUtf8(dir.File(L"real")).c_str(), platform::WideToUtf8(dir.File(L"link")).c_str()));
  const struct {
    const wchar_t* path;
    bool named;
  } cases[] = {{L"real/setup.exe", true}, {L"link/setup.exe", false}};
  for (const auto& c : cases) {
    platform::HeldFile file;
    ASSERT_TRUE(file.Open(dir.File(c.path)));
    EXPECT_EQ(c.named, platform::NamedWithoutLinks(file)) << platform::WideToUtf8(c.path);
  }
}

}  // namespace
