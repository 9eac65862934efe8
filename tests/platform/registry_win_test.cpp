// The machine registry backend against the real registry of a 64-bit Wine
// prefix, where this 32-bit test runs under WoW64 as the launcher does on a
// customer's 64-bit Windows.
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
    // Without WoW64 there is no second view, and everything below would prove nothing.
    ASSERT_TRUE(platform::IsWow64Process()) << "the tests need a 64-bit Wine prefix (WINEARCH=win64)";
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    name_ = L"TavoTest" + std::to_wstring(::GetCurrentProcessId()) + L"_" + std::wstring(test.begin(), test.end());
    path64_ = L"SOFTWARE\\" + name_;
    Delete(path64_, KEY_WOW64_64KEY);
    Delete(path64_, KEY_WOW64_32KEY);
  }
  void TearDown() override {
    Delete(path64_, KEY_WOW64_64KEY);
    Delete(path64_, KEY_WOW64_32KEY);
  }

  // Creates a key in the given view and keeps it open for writing values.
  HKEY Create(const std::wstring& subkey, REGSAM view) {
    HKEY key = nullptr;
    LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0,
                                       KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    EXPECT_EQ(ERROR_SUCCESS, status) << "cannot create the test key";
    created_.push_back(key);
    return key;
  }

  static void SetString(HKEY key, const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) {
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
  }

  static void Delete(const std::wstring& subkey, REGSAM view) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_ALL_ACCESS | view, &key) ==
        ERROR_SUCCESS) {
      ::RegDeleteTreeW(key, nullptr);
      ::RegCloseKey(key);
      ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), view, 0);
    }
  }

  ~RegistryWinTest() override {
    for (HKEY key : created_) ::RegCloseKey(key);
  }

  std::wstring name_;
  std::wstring path64_;
  std::vector<HKEY> created_;
};

TEST_F(RegistryWinTest, SixtyFourBitViewFindsWhatThe32BitViewDoesNotSee) {
  HKEY key = Create(path64_, KEY_WOW64_64KEY);
  SetString(key, L"ProductName", L"TAVO Total Shield");

  platform::RegistryKey opened;
  ASSERT_TRUE(platform::OpenMachineKey(path64_, true, &opened));
  EXPECT_TRUE(opened.IsOpen());
  std::wstring value;
  ASSERT_TRUE(platform::ReadStringValue(opened, L"ProductName", &value));
  EXPECT_EQ(L"TAVO Total Shield", value);

  // A plain open of a 32-bit process lands in SOFTWARE\Wow6432Node, where the key is not.
  platform::RegistryKey plain;
  platform::SetLastError(0);
  EXPECT_FALSE(platform::OpenMachineKey(path64_, false, &plain));
  EXPECT_FALSE(plain.IsOpen());
  EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());
}

TEST_F(RegistryWinTest, ThirtyTwoBitViewIsRedirectedToWow6432Node) {
  HKEY key = Create(path64_, KEY_WOW64_32KEY);
  SetString(key, L"InstallDir", L"C:\\Program Files (x86)\\TAVO\\");

  platform::RegistryKey plain;
  ASSERT_TRUE(platform::OpenMachineKey(path64_, false, &plain));
  std::wstring value;
  ASSERT_TRUE(platform::ReadStringValue(plain, L"InstallDir", &value));
  EXPECT_EQ(L"C:\\Program Files (x86)\\TAVO\\", value);

  // The same key, seen from the 64-bit view under its real name.
  platform::RegistryKey wow;
  ASSERT_TRUE(platform::OpenMachineKey(L"SOFTWARE\\Wow6432Node\\" + name_, true, &wow));
  ASSERT_TRUE(platform::ReadStringValue(wow, L"InstallDir", &value));
  EXPECT_EQ(L"C:\\Program Files (x86)\\TAVO\\", value);

  platform::RegistryKey view64;
  EXPECT_FALSE(platform::OpenMachineKey(path64_, true, &view64));
}

TEST_F(RegistryWinTest, StringValuesAreReadAsStored) {
  HKEY key = Create(path64_, KEY_WOW64_64KEY);
  SetString(key, L"Japanese", L"ウイルス対策製品");
  SetString(key, L"Expand", L"%SystemRoot%\\System32", REG_EXPAND_SZ);
  SetString(key, L"Empty", L"");
  SetString(key, nullptr, L"default value");
  const std::wstring longText(5000, L'x');
  SetString(key, L"Long", longText);
  // Stored without its terminator, as some installers write strings.
  const std::wstring bare = L"no terminator";
  ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(key, L"Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>(bare.data()),
                                            static_cast<DWORD>(bare.size() * sizeof(wchar_t))));
  // An odd byte count: the last half character is dropped.
  const char odd[] = {'A', 0, 'B', 0, 'C'};
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegSetValueExW(key, L"Odd", 0, REG_SZ, reinterpret_cast<const BYTE*>(odd), sizeof(odd)));
  const DWORD number = 7;
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)));

  platform::RegistryKey opened;
  ASSERT_TRUE(platform::OpenMachineKey(path64_, true, &opened));
  struct Case {
    const wchar_t* name;
    std::wstring expected;
  } cases[] = {
      {L"Japanese", L"ウイルス対策製品"},
      {L"Expand", L"%SystemRoot%\\System32"},  // never expanded
      {L"Empty", L""},
      {L"", L"default value"},
      {L"Long", longText},
      {L"Bare", L"no terminator"},
      {L"Odd", L"AB"},
  };
  for (const Case& c : cases) {
    std::wstring value = L"unchanged";
    EXPECT_TRUE(platform::ReadStringValue(opened, c.name, &value)) << c.name;
    EXPECT_EQ(c.expected, value) << c.name;
  }

  std::wstring value = L"unchanged";
  platform::SetLastError(0);
  EXPECT_FALSE(platform::ReadStringValue(opened, L"Number", &value));
  EXPECT_EQ(platform::kErrorInvalidData, platform::LastError());
  EXPECT_FALSE(platform::ReadStringValue(opened, L"Missing", &value));
  EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());
  EXPECT_EQ(L"unchanged", value);
}

TEST_F(RegistryWinTest, QueryValueSizeGivesTheStoredByteCount) {
  HKEY key = Create(path64_, KEY_WOW64_64KEY);
  SetString(key, L"Version", L"4.2.71.3");
  const DWORD number = 1;
  ASSERT_EQ(ERROR_SUCCESS,
            ::RegSetValueExW(key, L"Flag", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)));

  platform::RegistryKey opened;
  ASSERT_TRUE(platform::OpenMachineKey(path64_, true, &opened));
  uint32_t bytes = 0;
  ASSERT_TRUE(platform::QueryValueSize(opened, L"Version", &bytes));
  EXPECT_EQ(9u * sizeof(wchar_t), bytes);
  ASSERT_TRUE(platform::QueryValueSize(opened, L"Flag", &bytes));
  EXPECT_EQ(4u, bytes);
  platform::SetLastError(0);
  EXPECT_FALSE(platform::QueryValueSize(opened, L"Missing", &bytes));
  EXPECT_EQ(platform::kErrorFileNotFound, platform::LastError());
}

TEST_F(RegistryWinTest, EnumSubkeysListsDirectChildrenOnly) {
  Create(path64_, KEY_WOW64_64KEY);
  Create(path64_ + L"\\{B2}", KEY_WOW64_64KEY);
  Create(path64_ + L"\\A1", KEY_WOW64_64KEY);
  Create(path64_ + L"\\A1\\Nested", KEY_WOW64_64KEY);
  Create(path64_ + L"\\ウイルス", KEY_WOW64_64KEY);
  const std::wstring longName(255, L'k');
  Create(path64_ + L"\\" + longName, KEY_WOW64_64KEY);

  platform::RegistryKey opened;
  ASSERT_TRUE(platform::OpenMachineKey(path64_, true, &opened));
  std::vector<std::wstring> names = {L"stale"};
  ASSERT_TRUE(platform::EnumSubkeys(opened, &names));
  std::sort(names.begin(), names.end());
  std::vector<std::wstring> expected = {L"A1", longName, L"{B2}", L"ウイルス"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, names);

  platform::RegistryKey leaf;
  ASSERT_TRUE(platform::OpenMachineKey(path64_ + L"\\A1\\Nested", true, &leaf));
  ASSERT_TRUE(platform::EnumSubkeys(leaf, &names));
  EXPECT_TRUE(names.empty());
}

TEST_F(RegistryWinTest, KeyIsMovableAndAClosedKeyIsRefused) {
  HKEY key = Create(path64_, KEY_WOW64_64KEY);
  SetString(key, L"Name", L"value");

  platform::RegistryKey first;
  ASSERT_TRUE(platform::OpenMachineKey(path64_, true, &first));
  platform::RegistryKey second(std::move(first));
  EXPECT_FALSE(first.IsOpen());
  ASSERT_TRUE(second.IsOpen());
  std::wstring value;
  EXPECT_TRUE(platform::ReadStringValue(second, L"Name", &value));

  platform::RegistryKey closed;
  uint32_t bytes = 0;
  std::vector<std::wstring> names;
  EXPECT_FALSE(platform::ReadStringValue(closed, L"Name", &value));
  EXPECT_EQ(platform::kErrorInvalidHandle, platform::LastError());
  EXPECT_FALSE(platform::QueryValueSize(closed, L"Name", &bytes));
  EXPECT_FALSE(platform::EnumSubkeys(closed, &names));

  // A failed open leaves the key closed, not holding the previous one.
  EXPECT_FALSE(platform::OpenMachineKey(path64_ + L"\\Missing", true, &second));
  EXPECT_FALSE(second.IsOpen());
}

}  // namespace
