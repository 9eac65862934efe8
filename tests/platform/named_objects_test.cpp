// The launcher's named objects: one object of a name, held while any holder lives, set for every holder.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

#include "platform/named_objects.h"
#include "platform/process.h"
#ifdef _WIN32
#include "platform/win32/named_objects_win.h"
#endif

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

#ifdef _WIN32
// An object a user's process made first under the launcher's name in the global namespace is not the launcher's:
// its objects live in the Administrators' private namespace.
TEST(NamedObjects, AGlobalObjectOfTheNameIsNotTheLaunchers) {
  const std::wstring name = L"TAVOTest.squat." + std::to_wstring(platform::CurrentProcessId());
  HANDLE squat = ::CreateEventW(nullptr, TRUE, FALSE, (L"Global\\" + name).c_str());
  ASSERT_NE(nullptr, squat);
  platform::AdminEvent event;
  const auto opened = event.Open(name);
  ::CloseHandle(squat);
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  using CreateBoundaryFn = HANDLE(WINAPI*)(LPCWSTR, ULONG);
  const auto boundary = reinterpret_cast<CreateBoundaryFn>(
      reinterpret_cast<void (*)()>(::GetProcAddress(kernel32, "CreateBoundaryDescriptorW")));
  if (!boundary || !boundary(L"probe", 0)) GTEST_SKIP() << "no private namespaces here (Wine's are stubs)";
  EXPECT_EQ(platform::AdminEvent::Opened::kCreated, opened);
}

// An existing object of the launcher's name is taken only from the Administrators or SYSTEM. Wine keeps no owners,
// so a fake says who owns it.
WELL_KNOWN_SID_TYPE fakeOwner;

bool FakeOwnerOf(HANDLE, std::vector<BYTE>* owner) {
  DWORD size = SECURITY_MAX_SID_SIZE;
  owner->assign(size, 0);
  if (!::CreateWellKnownSid(fakeOwner, nullptr, owner->data(), &size)) return false;
  owner->resize(size);
  return true;
}

TEST(NamedObjects, AnExistingObjectIsTakenOnlyFromTheAdministratorsOrSystem) {
  using Opened = platform::AdminEvent::Opened;
  const std::wstring name = L"TAVOTest.owner." + std::to_wstring(platform::CurrentProcessId());
  platform::AdminEvent first;
  ASSERT_EQ(Opened::kCreated, first.Open(name));
  const struct {
    WELL_KNOWN_SID_TYPE owner;
    Opened expected;
  } cases[] = {{WinBuiltinAdministratorsSid, Opened::kExisting}, {WinLocalSystemSid, Opened::kExisting},
               {WinBuiltinUsersSid, Opened::kForeign}, {WinAuthenticatedUserSid, Opened::kForeign}};
  platform::SetObjectOwnerReader(FakeOwnerOf);
  for (const auto& c : cases) {
    fakeOwner = c.owner;
    platform::AdminEvent second;
    EXPECT_EQ(static_cast<int>(c.expected), static_cast<int>(second.Open(name))) << "owner SID type " << c.owner;
  }
  platform::SetObjectOwnerReader(nullptr);
}
#endif

}  // namespace
