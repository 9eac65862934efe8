#include "env/installed_edition.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include "base/debug_log.h"
#include "base/working_paths.h"
#include "base/paths.h"
#include "config/launch_settings.h"
#include "config/xml_config_reader.h"
#include "env/os_detection.h"
#include "platform/com.h"
#include "platform/files.h"
#include "platform/held_file.h"

const wchar_t kInstalledProductInfoKey[] = L"SOFTWARE\\TAVO\\TAVO Security\\CurrentVersion\\Info\\";

namespace {

const wchar_t kVersionFile[] = L"SetupLauncherVer.xml";

const wchar_t* const kVersionPrefixes[] = {L"3.0", L"4.0", L"4.2", L"5.0", L"5.2",
                                           L"6.0", L"7.0", L"8.0", L"9.0", L"10.0"};
// The notice conditions name every index from the first to the last; each must have its prefix.
static_assert(sizeof(kVersionPrefixes) / sizeof(kVersionPrefixes[0]) == kLastVersionIndex - kFirstVersionIndex + 1,
              "one prefix for every version-table index");

// A value counts as present only when it exists and could be read.
bool ReadInfoValue(const wchar_t* valueName, std::wstring* text) {
  if (text == nullptr) return false;
  if (!MachineRegistryValueExists(kInstalledProductInfoKey, valueName)) return false;
  std::wstring value;
  if (!ReadMachineRegistryString(kInstalledProductInfoKey, valueName, &value)) return false;
  *text = value;
  return true;
}

// Leading decimal digits of one version part; an empty part is 0. Saturates
// rather than wrapping, so that an absurdly long part never compares as small.
uint32_t VersionPartValue(const std::wstring& part) {
  uint64_t value = 0;
  for (wchar_t c : part) {
    if (c < L'0' || c > L'9') break;
    value = value * 10 + static_cast<uint64_t>(c - L'0');
    if (value > 0xFFFFFFFFull) return 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(value);
}

bool SplitVersion(const std::wstring& text, uint32_t parts[4]) {
  std::vector<std::wstring> pieces;
  size_t start = 0;
  while (true) {
    size_t dot = text.find(L'.', start);
    pieces.push_back(text.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start));
    if (dot == std::wstring::npos) break;
    start = dot + 1;
  }
  if (pieces.size() != 4) return false;
  for (int i = 0; i < 4; ++i) parts[i] = VersionPartValue(pieces[i]);
  return true;
}

std::wstring LatestVersionKeyFor(int32_t productType) {
  const Edition* edition = EditionOf(productType);
  const std::wstring code = edition != nullptr ? edition->shortCode : EditionOf(ProductEdition::TTS)->shortCode;
  return L"SetupLauncherVer/SetupLauncherVerData/" + code + L"LatestVersion/";
}

}  // namespace

const wchar_t* EditionShortCode(ProductEdition edition) {
  const Edition* row = EditionOf(edition);
  return row != nullptr ? row->shortCode : L"";
}

const wchar_t* EditionProductName(ProductEdition edition) {
  const Edition* row = EditionOf(edition);
  return row != nullptr ? row->productName : L"";
}

bool GetInstalledProductName(std::wstring* name) { return ReadInfoValue(L"ProductName", name); }

bool GetInstalledProductVersion(std::wstring* version) { return ReadInfoValue(L"ProductVersion", version); }

bool GetInstallDir(std::wstring* folder) { return ReadInfoValue(L"InstallDir", folder); }

bool IsEditionInstalled(ProductEdition edition) {
  const Edition* row = EditionOf(edition);
  if (row == nullptr) return false;
  std::wstring name;
  if (!GetInstalledProductName(&name)) return false;
  return name == row->productName;
}

bool IsAnyEditionInstalled() {
  std::wstring name;
  if (!GetInstalledProductName(&name)) return false;
  for (const Edition& row : kEditions) {
    if (name == row.productName) return true;
  }
  return false;
}

bool IsTtsOrTvgInstalled() {
  std::wstring name;
  if (!GetInstalledProductName(&name)) return false;
  return name == EditionProductName(ProductEdition::TTS) || name == EditionProductName(ProductEdition::TVG);
}

const wchar_t* VersionPrefixOf(int index) {
  if (index < kFirstVersionIndex || index > kLastVersionIndex) return nullptr;
  return kVersionPrefixes[index - kFirstVersionIndex];
}

bool InstalledVersionIs(int index) {
  const wchar_t* prefix = VersionPrefixOf(index);
  if (prefix == nullptr) return false;
  std::wstring version;
  if (!GetInstalledProductVersion(&version)) return false;
  return version.compare(0, std::wcslen(prefix), prefix) == 0;
}

bool IsOtherEditionInstalled(const LaunchSettings& settings) {
  bool other = false;
  for (const Edition& row : kEditions) {
    if (!IsEditionInstalled(row.edition)) continue;
    Log().Info(std::wstring(row.productName) + L"がインストールされています。");
    if (static_cast<int32_t>(row.edition) != settings.ProductType) other = true;
  }
  return other;
}

bool IsLatestVersionInstalled(const LaunchSettings& settings, const WorkingPaths& paths) {
  platform::InitializeThreadComponents();
  Log().Info(L"最新バージョンを取得します。");

  std::wstring path = JoinPath(settings.InstallType == 1 ? paths.LauncherFolder : paths.WorkFolder, kVersionFile);
  // An earlier launcher that kept its files in the user's temporary folder
  // left its version file beside the launcher it handed over to, which
  // fetches none of its own. Whatever that file says can only keep the
  // launcher from installing.
  if (settings.InstallType != 1 && !paths.PredecessorFolder.empty() && !platform::FileExists(path)) {
    path = JoinPath(paths.PredecessorFolder, kVersionFile);
    Log().Info(L"以下の前のランチャーのバージョンファイルを使用します。");
    Log().Info(path);
  }
  // Held while it is read (no link is followed), as the launcher's folder
  // and the user's are open to the user's processes.
  platform::HeldFile held;
  XmlConfigReader reader;
  if (!held.Open(path) || !reader.Load(path) || !held.Unchanged()) return false;

  std::wstring installed;
  if (!GetInstalledProductVersion(&installed)) return false;

  int32_t found = kXmlNotFound;
  std::wstring latest = reader.GetString(LatestVersionKeyFor(settings.ProductType), L"0.0.0.0", &found);
  // A missing entry keeps its default "0.0.0.0", so any installed version counts
  // as the latest: without a version to compare with, nothing is installed over it.
  if (found == kXmlDomFailure) return false;

  int order = CompareVersions(latest, installed);
  return order == kVersionsEqual || order == kVersionOlder;
}

int CompareVersions(const std::wstring& a, const std::wstring& b) {
  uint32_t pa[4];
  uint32_t pb[4];
  if (!SplitVersion(a, pa) || !SplitVersion(b, pb)) return kVersionInvalid;
  for (int i = 0; i < 4; ++i) {
    if (pa[i] > pb[i]) return kVersionNewer;
    if (pa[i] < pb[i]) return kVersionOlder;
  }
  return kVersionsEqual;
}
