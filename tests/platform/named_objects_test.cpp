// The launcher's named objects: one object of a name, held while any holder lives, set for every holder.
#include <gtest/gtest.h>

#include "platform/named_objects.h"
#include "platform/process.h"

namespace {

TEST(NamedObjects, AnEventIsSharedWhileHeldAndSetForEveryHolder) {
  using Opened = platform::AdminEvent::Opened;
  const std::wstring name = L"TAVOTest." + std::to_wstring(platform::CurrentProcessId());
  {
    platform::AdminEvent first, second;
    ASSERT_EQ(Opened::kCreated, first.Open(name));
    ASSERT_EQ(Opened::kExisting, second.Open(name));
    EXPECT_FALSE(first.IsSignalled());
    EXPECT_TRUE(second.Signal());
    EXPECT_TRUE(first.IsSignalled());
  }
  // The last holder let it go: the name makes a new one.
  platform::AdminEvent again;
  EXPECT_EQ(Opened::kCreated, again.Open(name));
  EXPECT_FALSE(again.IsSignalled());
}

}  // namespace
