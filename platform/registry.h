#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// An open key of the machine registry (HKEY_LOCAL_MACHINE), read-only.
class RegistryKey {
 public:
  RegistryKey();
  ~RegistryKey();
  RegistryKey(RegistryKey&&) noexcept;
  RegistryKey& operator=(RegistryKey&&) noexcept;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  bool IsOpen() const;
  struct Impl;
  Impl* impl() const { return impl_.get(); }
  void Reset(std::unique_ptr<Impl> impl);

 private:
  std::unique_ptr<Impl> impl_;
};

// Opens HKEY_LOCAL_MACHINE\subkey for reading; view64 opens it in the 64-bit
// view (KEY_WOW64_64KEY). Sets the last error on failure.
[[nodiscard]] bool OpenMachineKey(const std::wstring& subkey, bool view64, RegistryKey* key);
// Size in bytes of a value's data; false (with the last error) when missing.
[[nodiscard]] bool QueryValueSize(const RegistryKey& key, const std::wstring& name, uint32_t* bytes);
// Reads a string value (REG_SZ or REG_EXPAND_SZ, unexpanded).
[[nodiscard]] bool ReadStringValue(const RegistryKey& key, const std::wstring& name, std::wstring* value);
// Writes a string value (REG_SZ) of HKEY_LOCAL_MACHINE\subkey, creating the
// key: only administrators may write there. view64 as for OpenMachineKey.
bool WriteMachineString(const std::wstring& subkey, bool view64, const std::wstring& name, const std::wstring& value);
// Names of the direct subkeys, in the registry's order.
[[nodiscard]] bool EnumSubkeys(const RegistryKey& key, std::vector<std::wstring>* names);

}  // namespace platform
