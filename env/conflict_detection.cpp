#include "env/conflict_detection.h"

#include "base/debug_log.h"
#include "base/run_result.h"
#include "config/launch_settings.h"
#include "env/security_center.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"

const wchar_t kUnknownConflictName[] = L"他社製ウイルス対策製品（製品名を取得できませんでした）";

namespace {

// The vendor's own registry marker: seeing it is expected, not a conflict.
const wchar_t kOwnPackageName[] = L"TAVO Software";

const wchar_t* const kUninstallRoots[] = {
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
    L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
};

// Our own products and the system's defender are never competitors.
const wchar_t* const kIgnoredSecurityCenterNames[] = {L"TAVO", L"Windows Defender"};

bool OpenMachineKeyForRead(const std::wstring& subkey, platform::RegistryKey* key) {
  // This 32-bit launcher must see the 64-bit products' keys on 64-bit Windows.
  return platform::OpenMachineKey(subkey, platform::IsWow64Process(), key);
}

std::wstring ReadValueOrEmpty(const platform::RegistryKey& key, const wchar_t* name) {
  std::wstring value;
  if (!platform::ReadStringValue(key, name, &value)) return std::wstring();
  return value;
}

bool Contains(const std::wstring& text, const std::wstring& part) {
  return text.find(part) != std::wstring::npos;
}

void AddUnique(std::vector<std::wstring>* names, const std::wstring& name) {
  for (const std::wstring& held : *names) {
    if (held == name) return;
  }
  names->push_back(name);
}

wchar_t LowerChar(wchar_t c) {
  const uint32_t u = static_cast<uint32_t>(c);
  if (u >= L'A' && u <= L'Z') return static_cast<wchar_t>(u + 0x20);
  if (u < 0x80) return c;
  // Latin-1 capitals, except the multiplication sign.
  if (u >= 0xC0 && u <= 0xDE && u != 0xD7) return static_cast<wchar_t>(u + 0x20);
  // Latin Extended-A: capitals at even code points, except the irregular stretches.
  if ((u >= 0x100 && u <= 0x137) || (u >= 0x14A && u <= 0x177)) {
    return (u % 2 == 0) ? static_cast<wchar_t>(u + 1) : c;
  }
  if ((u >= 0x139 && u <= 0x148) || (u >= 0x179 && u <= 0x17E)) {
    return (u % 2 == 1) ? static_cast<wchar_t>(u + 1) : c;
  }
  if (u == 0x178) return static_cast<wchar_t>(0xFF);
  // Greek and Cyrillic capitals.
  if (u >= 0x391 && u <= 0x3AB && u != 0x3A2) return static_cast<wchar_t>(u + 0x20);
  if (u >= 0x410 && u <= 0x42F) return static_cast<wchar_t>(u + 0x20);
  if (u >= 0x400 && u <= 0x40F) return static_cast<wchar_t>(u + 0x50);
  // Full-width Latin capitals, common in Japanese product names.
  if (u >= 0xFF21 && u <= 0xFF3A) return static_cast<wchar_t>(u + 0x20);
  return c;
}

}  // namespace

std::wstring LowerForMatch(std::wstring text) {
  for (wchar_t& c : text) c = LowerChar(c);
  return text;
}

std::vector<InstalledSoftwareEntry> ReadInstalledSoftwareList() {
  std::vector<InstalledSoftwareEntry> entries;
  for (const wchar_t* root : kUninstallRoots) {
    platform::RegistryKey rootKey;
    if (!OpenMachineKeyForRead(root, &rootKey)) continue;
    std::vector<std::wstring> subkeys;
    if (!platform::EnumSubkeys(rootKey, &subkeys)) continue;
    for (const std::wstring& subkey : subkeys) {
      InstalledSoftwareEntry entry;
      entry.KeyPath = std::wstring(root) + subkey + L"\\";
      platform::RegistryKey key;
      // An entry that cannot be read is passed over; the others still count.
      if (!OpenMachineKeyForRead(entry.KeyPath, &key)) continue;
      entry.DisplayName = ReadValueOrEmpty(key, L"DisplayName");
      if (entry.DisplayName.empty()) continue;
      entry.DisplayVersion = ReadValueOrEmpty(key, L"DisplayVersion");
      entry.InstallLocation = ReadValueOrEmpty(key, L"InstallLocation");
      entries.push_back(std::move(entry));
    }
  }
  return entries;
}

bool FindRegistryConflicts(const LaunchSettings& settings, std::vector<std::wstring>* names) {
  for (const ConflictPackage& package : settings.ConflictPackages) {
    // An empty key path would open the registry's root and match every machine.
    if (package.RegistryKey.empty()) continue;
    platform::RegistryKey key;
    if (!OpenMachineKeyForRead(package.RegistryKey, &key)) continue;
    Log().Info(L"競合製品を検出しました。（レジストリで検出）");
    Log().Info(package.PackageName);
    Log().Info(package.RegistryKey);
    if (package.PackageName == kOwnPackageName) {
      Log().Info(L"TAVO製品のため、競合検出をスキップしました。");
    } else {
      names->push_back(package.PackageName);
    }
  }
  return !names->empty();
}

bool FindInstalledSoftwareConflicts(const LaunchSettings& settings, std::vector<std::wstring>* names) {
  bool any = false;
  std::vector<InstalledSoftwareEntry> entries;
  bool listRead = false;
  for (const std::wstring& wanted : settings.ConflictSoftwareNames) {
    if (wanted.empty()) continue;
    if (!listRead) {
      entries = ReadInstalledSoftwareList();
      listRead = true;
    }
    const std::wstring lowerWanted = LowerForMatch(wanted);
    for (const InstalledSoftwareEntry& entry : entries) {
      if (!Contains(LowerForMatch(entry.DisplayName), lowerWanted)) continue;
      AddUnique(names, entry.DisplayName);
      any = true;
    }
  }
  return any && !names->empty();
}

bool FindSecurityCenterConflicts(std::vector<std::wstring>* names) {
  bool any = false;
  std::vector<SecurityCenterProduct> products;
  // A Security Center that cannot be asked reports no products.
  QueryAntiVirusProducts(&products);
  QueryAntiSpywareProducts(&products);
  for (const SecurityCenterProduct& product : products) {
    Log().Info(L"以下の製品を確認します。");
    Log().Info(product.DisplayName);
    bool ignored = false;
    for (const wchar_t* ignoredName : kIgnoredSecurityCenterNames) {
      if (Contains(product.DisplayName, ignoredName)) ignored = true;
    }
    if (ignored) continue;
    AddUnique(names, product.DisplayName);
    any = true;
  }
  return any && !names->empty();
}

bool DetectConflicts(const LaunchSettings& settings, RunResult* result) {
  result->DetectedConflictNames.clear();
  Log().Info(L"競合製品を確認します。");

  std::vector<std::wstring> found;
  if (FindRegistryConflicts(settings, &found)) {
    // Only the first product found is reported.
    std::wstring name = found.front().empty() ? std::wstring(kUnknownConflictName) : found.front();
    Log().Info(L"以下の競合製品を検出しました（レジストリ検索で検出）。");
    Log().Info(name);
    result->DetectedConflictNames.push_back(name);
    return true;
  }

  Log().Info(L"インストールソフトウェア一覧にレジストリキーで検出したソフトウェアが存在しません。");
  found.clear();
  if (FindInstalledSoftwareConflicts(settings, &found)) {
    for (const std::wstring& listed : found) {
      std::wstring name = listed.empty() ? std::wstring(kUnknownConflictName) : listed;
      Log().Info(L"以下の競合製品を検出しました（ソフトウェア検索で検出）。");
      Log().Info(name);
      result->DetectedConflictNames.push_back(name);
    }
    return !result->DetectedConflictNames.empty();
  }

  found.clear();
  if (FindSecurityCenterConflicts(&found)) {
    for (const std::wstring& listed : found) {
      if (listed.empty()) {
        result->DetectedConflictNames.push_back(kUnknownConflictName);
        continue;
      }
      Log().Info(L"以下の競合製品を検出しました（セキュリティセンターで検出）。");
      Log().Info(listed);
      for (const std::wstring& leftover : settings.ConflictSecurityCenterNames) {
        // An empty entry would mark every finding as a leftover.
        if (leftover.empty() || !Contains(listed, leftover)) continue;
        Log().Info(leftover);
        Log().Info(L"検出した製品は消し忘れの可能性があります。");
        result->SecurityCenterConflict = true;
      }
      result->DetectedConflictNames.push_back(listed);
    }
    return !result->DetectedConflictNames.empty();
  }
  return false;
}
