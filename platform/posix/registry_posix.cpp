#include "platform/registry.h"

#include "platform/error.h"
#include "platform/posix/machine.h"
#include "platform/sysinfo.h"

namespace platform {

struct RegistryKey::Impl {
  std::shared_ptr<const posix::RegistryFile> registry;
  std::wstring path;  // as resolved for the view
};

RegistryKey::RegistryKey() = default;
RegistryKey::~RegistryKey() = default;
RegistryKey::RegistryKey(RegistryKey&&) noexcept = default;
RegistryKey& RegistryKey::operator=(RegistryKey&&) noexcept = default;
bool RegistryKey::IsOpen() const { return impl_ != nullptr; }
void RegistryKey::Reset(std::unique_ptr<Impl> impl) { impl_ = std::move(impl); }

namespace {

// A 32-bit process under WoW64 that does not ask for the 64-bit view sees
// SOFTWARE\X as SOFTWARE\Wow6432Node\X.
std::wstring ResolveView(const std::wstring& subkey, bool view64) {
  std::wstring normal = posix::NormalizeKeyPath(subkey);
  if (view64 || !IsWow64Process()) return normal;
  std::wstring lower = posix::LowerWide(normal);
  const std::wstring software = L"software";
  if (lower.compare(0, software.size(), software) != 0) return normal;
  if (lower.size() > software.size() && lower[software.size()] != L'\\') return normal;
  if (lower.compare(0, 20, L"software\\wow6432node") == 0 &&
      (lower.size() == 20 || lower[20] == L'\\'))
    return normal;
  if (lower.size() == software.size()) return normal + L"\\Wow6432Node";
  return normal.substr(0, software.size()) + L"\\Wow6432Node" + normal.substr(software.size());
}

}  // namespace

bool OpenMachineKey(const std::wstring& subkey, bool view64, RegistryKey* key) {
  bool ok = true;
  auto registry = posix::CurrentRegistry(&ok);
  if (!ok) return false;
  std::wstring path = ResolveView(subkey, view64);
  const posix::RegistryKeyData* data = path.empty() ? nullptr : registry->FindKey(path);
  if (!path.empty() && !data) {
    SetLastError(kErrorFileNotFound);
    return false;
  }
  if (data && data->accessDenied) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  auto impl = std::make_unique<RegistryKey::Impl>();
  impl->registry = registry;
  impl->path = path;
  key->Reset(std::move(impl));
  return true;
}

namespace {
const posix::RegistryValue* Lookup(const RegistryKey& key, const std::wstring& name) {
  if (!key.IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return nullptr;
  }
  const posix::RegistryKeyData* data = key.impl()->registry->FindKey(key.impl()->path);
  const posix::RegistryValue* value = data ? posix::RegistryFile::FindValue(*data, name) : nullptr;
  if (!value) SetLastError(kErrorFileNotFound);
  return value;
}
}  // namespace

bool QueryValueSize(const RegistryKey& key, const std::wstring& name, uint32_t* bytes) {
  const posix::RegistryValue* value = Lookup(key, name);
  if (!value) return false;
  if (value->type == "sz") {
    // REG_SZ data is UTF-16 with its terminator; an empty string still has one.
    *bytes = static_cast<uint32_t>((value->text.size() + 1) * 2);
  } else if (value->type == "dword") {
    *bytes = 4;
  } else {
    *bytes = static_cast<uint32_t>(value->raw.size() / 3);
  }
  return true;
}

bool ReadStringValue(const RegistryKey& key, const std::wstring& name, std::wstring* out) {
  const posix::RegistryValue* value = Lookup(key, name);
  if (!value) return false;
  if (value->type != "sz") {
    SetLastError(kErrorInvalidData);
    return false;
  }
  *out = value->text;
  return true;
}

bool EnumSubkeys(const RegistryKey& key, std::vector<std::wstring>* names) {
  if (!key.IsOpen()) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  *names = key.impl()->registry->Subkeys(key.impl()->path);
  return true;
}

bool WriteMachineString(const std::wstring& subkey, bool view64, const std::wstring& name, const std::wstring& value) {
  // The default machine keeps no registry file: nothing written there lasts.
  const std::string path = posix::MachineFile("registry.reg");
  posix::RegistryFile registry;
  if (path.empty() || !registry.Load(path)) {
    SetLastError(kErrorAccessDenied);
    return false;
  }
  registry.SetString(ResolveView(subkey, view64), name, value);
  if (registry.Save(path)) return true;
  SetLastError(kErrorAccessDenied);
  return false;
}

}  // namespace platform
