// The machine registry backend against the registry of a 64-bit Wine prefix, where this 32-bit test runs under WoW64 as
// the launcher does on a customer's 64-bit Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

namespace {

class RegistryWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Without WoW64 there is no second view, and nothing below would prove anything.
    // A 32-bit test meets the views through WoW64, the 64-bit test build natively.
    ASSERT_TRUE(platform::IsWow64Process() || sizeof(void*) == 8) << "the tests need a 64-bit Wine prefix (WINEARCH=win64)";
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    name_ = L"TavoTest" + std::to_wstring(::GetCurrentProcessId()) + std::wstring(test.begin(), test.end());
    path_ = L"SOFTWARE\\" + name_;
    TearDown();
  }
  void TearDown() override {
    for (HKEY key : created_) ::RegCloseKey(key);
    created_.clear();
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      HKEY key = nullptr;
      if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        ::RegDeleteTreeW(key, nullptr);
        ::RegCloseKey(key);
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), view, 0);
      }
    }
  }
  HKEY Create(const std::wstring& subkey, REGSAM view) {
    HKEY key = nullptr;
    EXPECT_EQ(0, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
    return created_.push_back(key), key;
  }
  static void Set(HKEY key, const wchar_t* name, const void* bytes, size_t size, DWORD type = REG_SZ) {
    ASSERT_EQ(0, ::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(bytes), static_cast<DWORD>(size)));
  }
  static void SetString(HKEY key, const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) {
    Set(key, name, value.c_str(), (value.size() + 1) * sizeof(wchar_t), type);
  }
  std::wstring Read(bool view64, const std::wstring& subkey, const wchar_t* name) {
    platform::RegistryKey key;
    std::wstring value = L"(none)";
    if (platform::OpenMachineKey(subkey, view64, &key) && !platform::ReadStringValue(key, name, &value)) {
      value = L"(none)";
    }
    return value;
  }
  std::wstring name_, path_;
  std::vector<HKEY> created_;
};

TEST_F(RegistryWinTest, EachViewSeesOnlyItsOwnKeys) {
  if (sizeof(void*) == 8) GTEST_SKIP() << "the 64-bit test build opens the 64-bit view without asking";
  SetString(Create(path_, KEY_WOW64_64KEY), L"ProductName", L"TAVO Total Shield");
  EXPECT_EQ(L"TAVO Total Shield", Read(true, path_, L"ProductName"));
  // A plain open of a 32-bit process lands in SOFTWARE\Wow6432Node, where the key is not.
  EXPECT_EQ(L"(none)", Read(false, path_, L"ProductName"));
  EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());
  TearDown();
  SetString(Create(path_, KEY_WOW64_32KEY), L"InstallDir", L"C:\\Program Files (x86)\\TAVO\\");
  EXPECT_EQ(L"C:\\Program Files (x86)\\TAVO\\", Read(false, path_, L"InstallDir"));
  EXPECT_EQ(L"C:\\Program Files (x86)\\TAVO\\", Read(true, L"SOFTWARE\\Wow6432Node\\" + name_, L"InstallDir"));
  EXPECT_EQ(L"(none)", Read(true, path_, L"InstallDir"));
}

TEST_F(RegistryWinTest, StringValuesAreReadAsStored) {
  HKEY key = Create(path_, KEY_WOW64_64KEY);
  const std::wstring longText(5000, L'x');
  for (const wchar_t* name : {L"Japanese", L"Empty", static_cast<const wchar_t*>(nullptr), L"Long"}) {
    SetString(key, name, !name ? L"default value" : *name == L'J' ? L"ウイルス対策製品" : *name == L'L' ? longText : L"");
  }
  SetString(key, L"Expand", L"%SystemRoot%\\System32", REG_EXPAND_SZ);
  Set(key, L"Bare", L"no terminator", 13 * sizeof(wchar_t));  // as some installers write strings
  Set(key, L"Odd", "A\0B\0C", 5);                               // the last half character is dropped
  const DWORD number = 7;
  Set(key, L"Number", &number, sizeof(number), REG_DWORD);
  const struct {
    const wchar_t* name;
    std::wstring expected;
  } cases[] = {{L"Japanese", L"ウイルス対策製品"}, {L"Expand", L"%SystemRoot%\\System32"}, {L"Empty", L""},
               {L"", L"default value"}, {L"Long", longText}, {L"Bare", L"no terminator"}, {L"Odd", L"AB"}};
  for (const auto& c : cases) EXPECT_EQ(c.expected, Read(true, path_, c.name)) << c.name;
  platform::RegistryKey opened;
  ASSERT_TRUE(platform::OpenMachineKey(path_, true, &opened));
  std::wstring value = L"unchanged";
  EXPECT_FALSE(platform::ReadStringValue(opened, L"Number", &value));
  EXPECT_EQ(platform::kErrorInvalidData, platform::LastError());
  EXPECT_FALSE(platform::ReadStringValue(opened, L"Missing", &value));
  EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());
  EXPECT_EQ(L"unchanged", value);
  uint32_t bytes = 0;
  EXPECT_TRUE(platform::QueryValueSize(opened, L"Japanese", &bytes) && bytes == 9u * sizeof(wchar_t));
  EXPECT_TRUE(platform::QueryValueSize(opened, L"Number", &bytes) && bytes == 4u);
  EXPECT_FALSE(platform::QueryValueSize(opened, L"Missing", &bytes));
}

TEST_F(RegistryWinTest, SubkeysAreTheDirectChildrenAndAClosedKeyIsRefused) {
  Create(path_, KEY_WOW64_64KEY);
  for (const wchar_t* child : {L"\\{B2}", L"\\A1", L"\\A1\\Nested", L"\\ウイルス"}) Create(path_ + child, KEY_WOW64_64KEY);
  platform::RegistryKey opened;
  ASSERT_TRUE(platform::OpenMachineKey(path_, true, &opened));
  std::vector<std::wstring> names = {L"stale"};
  ASSERT_TRUE(platform::EnumSubkeys(opened, &names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::wstring>{L"A1", L"{B2}", L"ウイルス"}), names);
  platform::RegistryKey closed;
  std::wstring value;
  EXPECT_FALSE(platform::EnumSubkeys(closed, &names));
  EXPECT_FALSE(platform::ReadStringValue(closed, L"x", &value));
  EXPECT_EQ(platform::kErrorInvalidHandle, platform::LastError());
  // A failed open leaves the key closed, not holding the previous one.
  EXPECT_FALSE(platform::OpenMachineKey(path_ + L"\\Missing", true, &opened));
  EXPECT_FALSE(opened.IsOpen());
}

}  // namespace
