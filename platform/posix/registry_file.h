#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform {
namespace posix {

// The simulated machine's registry, held as the text of "Windows Registry
// Editor Version 5.00" (HKEY_LOCAL_MACHINE keys, in 64-bit view paths). The
// installer stand-ins of the tools write it back through Save.
struct RegistryValue {
  std::wstring name;    // empty for the default value "@"
  std::string type;     // "sz", "dword", or the raw "hex..." tag
  std::wstring text;    // string values
  unsigned long dword = 0;
  std::string raw;      // data of other types, as written in the file
};

struct RegistryKeyData {
  std::wstring path;  // as first written, below HKEY_LOCAL_MACHINE, without leading or trailing '\'
  std::vector<RegistryValue> values;
  // A key marked ";@AccessDenied" in the file cannot be opened (code 5): the
  // way a test makes a key unreadable.
  bool accessDenied = false;
};

class RegistryFile {
 public:
  // Missing file: an empty registry (true). Unreadable or garbled: false.
  bool Load(const std::string& path);
  bool Save(const std::string& path) const;

  // Case-insensitive lookups of keys and values, as the registry compares them.
  const RegistryKeyData* FindKey(const std::wstring& path) const;
  RegistryKeyData* CreateKey(const std::wstring& path);
  // Names of the direct subkeys of path (implied parents included), sorted
  // without regard to case.
  std::vector<std::wstring> Subkeys(const std::wstring& path) const;
  static const RegistryValue* FindValue(const RegistryKeyData& key, const std::wstring& name);
  void SetString(const std::wstring& keyPath, const std::wstring& name, const std::wstring& value);
  bool DeleteKeyTree(const std::wstring& path);

 private:
  std::map<std::wstring, RegistryKeyData> keys_;  // by lower-case path
  bool utf16_ = false;
};

std::wstring LowerWide(std::wstring s);
std::wstring NormalizeKeyPath(const std::wstring& path);

}  // namespace posix
}  // namespace platform
