#include "platform/registry.h"

#include <windows.h>

#include "platform/error.h"
#include "platform/win32/owned_win.h"

namespace platform {

using win32::UniqueRegistryKey;

struct RegistryKey::Impl {
  explicit Impl(UniqueRegistryKey k) : key(std::move(k)) {}
  UniqueRegistryKey key;
};

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&&) noexcept = default;

bool RegistryKey::IsOpen() const { return impl_ != nullptr; }

void RegistryKey::Reset(std::unique_ptr<Impl> impl) { impl_ = std::move(impl); }

namespace {

// The registry functions return their error instead of setting it.
bool Fail(LSTATUS status) {
  SetLastError(static_cast<uint32_t>(status));
  return false;
}

HKEY HandleOf(const RegistryKey& key) { return key.impl() ? key.impl()->key.get() : nullptr; }

}  // namespace

bool OpenMachineKey(const std::wstring& subkey, bool view64, RegistryKey* key) {
  key->Reset(nullptr);
  // A 32-bit process asking without the 64-bit flag is redirected to
  // SOFTWARE\Wow6432Node on 64-bit Windows; the flag is ignored on 32-bit Windows.
  const REGSAM access = KEY_READ | (view64 ? KEY_WOW64_64KEY : 0);
  UniqueRegistryKey handle;
  LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, access, handle.Receive());
  if (status != ERROR_SUCCESS) return Fail(status);
  key->Reset(std::make_unique<RegistryKey::Impl>(std::move(handle)));
  return true;
}

bool QueryValueSize(const RegistryKey& key, const std::wstring& name, uint32_t* bytes) {
  HKEY handle = HandleOf(key);
  if (!handle) return Fail(ERROR_INVALID_HANDLE);
  DWORD size = 0;
  LSTATUS status = ::RegQueryValueExW(handle, name.c_str(), nullptr, nullptr, nullptr, &size);
  if (status != ERROR_SUCCESS) return Fail(status);
  *bytes = size;
  return true;
}

bool ReadStringValue(const RegistryKey& key, const std::wstring& name, std::wstring* value) {
  HKEY handle = HandleOf(key);
  if (!handle) return Fail(ERROR_INVALID_HANDLE);
  // The value may grow between the size query and the read; then ask again.
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExW(handle, name.c_str(), nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) return Fail(status);
    if (type != REG_SZ && type != REG_EXPAND_SZ) return Fail(ERROR_INVALID_DATA);
    // Room for a terminator the stored data may lack, and for an odd byte count.
    std::wstring buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD got = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    status = ::RegQueryValueExW(handle, name.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(&buffer[0]), &got);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) return Fail(status);
    if (type != REG_SZ && type != REG_EXPAND_SZ) return Fail(ERROR_INVALID_DATA);
    buffer.resize(got / sizeof(wchar_t));
    // The string ends at its first terminator, whether or not one was stored.
    const size_t end = buffer.find(L'\0');
    if (end != std::wstring::npos) buffer.resize(end);
    *value = std::move(buffer);
    return true;
  }
  return Fail(ERROR_MORE_DATA);
}

bool EnumSubkeys(const RegistryKey& key, std::vector<std::wstring>* names) {
  HKEY handle = HandleOf(key);
  if (!handle) return Fail(ERROR_INVALID_HANDLE);
  names->clear();
  // Key names are at most 255 characters; the buffer grows if a system says otherwise.
  std::wstring buffer(256, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(buffer.size());
    LSTATUS status =
        ::RegEnumKeyExW(handle, index, &buffer[0], &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return true;
    if (status == ERROR_MORE_DATA && buffer.size() < 32768) {
      buffer.resize(buffer.size() * 2);
      --index;
      continue;
    }
    if (status != ERROR_SUCCESS) return Fail(status);
    names->emplace_back(buffer.data(), length);
  }
}

bool WriteMachineString(const std::wstring& subkey, bool view64, const std::wstring& name, const std::wstring& value) {
  UniqueRegistryKey handle;
  const REGSAM access = KEY_SET_VALUE | (view64 ? KEY_WOW64_64KEY : 0);
  LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                     nullptr, handle.Receive(), nullptr);
  if (status != ERROR_SUCCESS) return Fail(status);
  status = ::RegSetValueExW(handle.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  handle.Reset();
  return status == ERROR_SUCCESS || Fail(status);
}

}  // namespace platform
