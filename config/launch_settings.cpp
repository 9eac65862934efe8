#include "config/launch_settings.h"

#include <algorithm>

#include "base/editions.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "config/xml_config_reader.h"
#include "platform/com.h"

const wchar_t kDefaultInstallSupportUrl[] = L"https://www.tavo-security.jp/support/";

LaunchSettings::LaunchSettings()
    : InstallSupportURL(kDefaultInstallSupportUrl), InstallSupportURLTrial(kDefaultInstallSupportUrl) {}

bool SuccessAsksRestart(const LaunchSettings& settings, int32_t resultCode) {
  return resultCode == kResultSuccess && settings.PackageType == 1;
}

std::wstring ProductNameFor(int32_t productType) {
  const Edition* edition = EditionOf(productType);
  return edition != nullptr ? edition->productName : L"TAVO製品";
}

namespace {

const wchar_t kBase[] = L"LaunchData/LaunchBase/";

// Reads single values and remembers whether any lookup met a DOM failure.
class ValueReader {
 public:
  explicit ValueReader(const XmlConfigReader& reader) : reader_(reader) {}
  void Int(const wchar_t* key, int32_t defaultValue, int32_t* out) {
    int32_t found = 0;
    *out = reader_.GetInt(std::wstring(kBase) + key + L"/", defaultValue, &found);
    failed_ |= found == kXmlDomFailure;
  }
  void String(const wchar_t* key, const std::wstring& defaultValue, std::wstring* out) {
    int32_t found = 0;
    *out = reader_.GetString(std::wstring(kBase) + key + L"/", defaultValue, &found);
    failed_ |= found == kXmlDomFailure;
  }
  bool failed() const { return failed_; }

 private:
  const XmlConfigReader& reader_;
  bool failed_ = false;
};

bool ReadBaseValues(const XmlConfigReader& reader, LaunchSettings* s) {
  ValueReader v(reader);
  v.Int(L"ProductType", 1, &s->ProductType);
  s->ProductName = ProductNameFor(s->ProductType);
  v.Int(L"PackageType", 1, &s->PackageType);
  v.Int(L"LineupType", 0, &s->LineupType);
  v.Int(L"ManualType", 99, &s->ManualType);
  v.Int(L"DownloaderVersion", 2000000, &s->DownloaderVersion);
  v.Int(L"SetupLauncherXMLVersion", 0, &s->SetupLauncherXMLVersion);
  v.String(L"ProviderType", L"KOTA", &s->ProviderType);
  v.Int(L"InstallType", 0, &s->InstallType);
  return !v.failed();
}

bool ReadOtherValues(const XmlConfigReader& reader, LaunchSettings* s) {
  ValueReader v(reader);
  v.String(L"PackageVersionWin", L"0.0", &s->PackageVersionWin);
  v.String(L"PackageVersionMac", L"0.0", &s->PackageVersionMac);
  v.Int(L"EnableServerCheck", 0, &s->EnableServerCheck);
  int32_t found = 0;
  s->DownloadServerCount =
      reader.GetInt(L"LaunchData/DownloadServerData/DownloadServerCount/", 0, &found);
  bool failed = v.failed() || found == kXmlDomFailure;
  v.String(L"InstallSupportURL", kDefaultInstallSupportUrl, &s->InstallSupportURL);
  v.String(L"InstallSupportURLTrial", kDefaultInstallSupportUrl, &s->InstallSupportURLTrial);
  return !failed && !v.failed();
}

// The lists are read by index up to their count (as an unsigned number); an
// index whose element is missing adds nothing, so only the elements present
// are visited, in index order: an absurd count or a far-off index costs
// nothing more than the file's own size.

// Servers are numbered from 0 without padding; a DOM failure ends the loop.
bool ReadServers(const XmlConfigReader& reader, LaunchSettings* s) {
  if (s->DownloadServerCount == 0) return true;
  const std::wstring parent = L"LaunchData/DownloadServerData/";
  const uint32_t last = static_cast<uint32_t>(s->DownloadServerCount) - 1;
  for (uint32_t i : reader.PresentIndexes(parent, L"DownloadServer", 1, last)) {
    int32_t found = 0;
    std::wstring server = reader.GetString(FormatText(L"%ls%ls%u/", parent.c_str(), L"DownloadServer", i),
                                           std::wstring(), &found);
    if (found == kXmlDomFailure) return false;
    if (found == kXmlFound && !server.empty()) s->DownloadServers.push_back(server);
  }
  return true;
}

bool ReadNameList(const XmlConfigReader& reader, const std::wstring& parent, const wchar_t* countKey,
                  const wchar_t* itemPrefix, std::vector<std::wstring>* names) {
  int32_t found = 0;
  uint32_t count = static_cast<uint32_t>(reader.GetInt(parent + countKey + L"/", 0, &found));
  if (found == kXmlDomFailure) return false;
  for (uint32_t i : reader.PresentIndexes(parent, itemPrefix, 2, count)) {
    std::wstring name = reader.GetString(FormatText(L"%ls%ls%02u/", parent.c_str(), itemPrefix, i), std::wstring(),
                                         &found);
    if (found == kXmlDomFailure) return false;
    if (!name.empty()) names->push_back(name);
  }
  return true;
}

bool ReadConflictPackages(const XmlConfigReader& reader, LaunchSettings* s) {
  const std::wstring parent = L"LaunchData/ConfrictRegistory/";
  int32_t found = 0;
  uint32_t count = static_cast<uint32_t>(reader.GetInt(parent + L"ConfrictDataCount/", 0, &found));
  if (found == kXmlDomFailure) return false;
  for (uint32_t i : reader.PresentIndexes(parent, L"ConfrictPackage", 2, count)) {
    const std::wstring key = FormatText(L"%lsConfrictPackage%02u/", parent.c_str(), i);
    std::wstring packageName = reader.GetAttribute(key, L"PackageName", &found);
    if (found == kXmlDomFailure) return false;
    if (packageName.empty()) continue;
    std::wstring registryKey = reader.GetString(key, std::wstring(), &found);
    if (found == kXmlDomFailure) return false;
    if (!registryKey.empty()) s->ConflictPackages.push_back({packageName, registryKey});
  }
  return true;
}

bool ReadLists(const XmlConfigReader& reader, LaunchSettings* s) {
  bool serversRead = ReadServers(reader, s);
  if (!ReadConflictPackages(reader, s)) return false;
  if (!ReadNameList(reader, L"LaunchData/ConflictSoftware/", L"ConflictSoftwareCount", L"ConflictSoftwareName",
                    &s->ConflictSoftwareNames))
    return false;
  if (!ReadNameList(reader, L"LaunchData/ConflictSecurityCenter/", L"ConflictSecurityCenterCount",
                    L"ConflictSecurityCenterName", &s->ConflictSecurityCenterNames))
    return false;
  return serversRead;
}

}  // namespace

bool LoadLaunchSettings(LaunchSettings* settings, const std::wstring& path, SettingsPart part) {
  platform::InitializeThreadComponents();
  XmlConfigReader reader;
  return reader.Load(path) && LoadLaunchSettings(settings, reader, part);
}

bool LoadLaunchSettings(LaunchSettings* settings, const XmlConfigReader& reader, SettingsPart part) {
  if (part == SettingsPart::kEveryValue && !ReadBaseValues(reader, settings)) return false;
  if (!ReadOtherValues(reader, settings)) return false;
  return ReadLists(reader, settings);
}

bool LoadLaunchBase(LaunchSettings* settings, const std::wstring& path) {
  platform::InitializeThreadComponents();
  XmlConfigReader reader;
  return reader.Load(path) && LoadLaunchBase(settings, reader);
}

bool LoadLaunchBase(LaunchSettings* settings, const XmlConfigReader& reader) {
  ValueReader v(reader);
  v.Int(L"ProductType", 1, &settings->ProductType);
  settings->ProductName = ProductNameFor(settings->ProductType);
  v.Int(L"PackageType", 1, &settings->PackageType);
  v.Int(L"LineupType", 0, &settings->LineupType);
  v.Int(L"ManualType", 99, &settings->ManualType);
  if (v.failed()) return false;
  // Earlier settings files still name the lineups of their time.
  if (settings->ProductType == static_cast<int32_t>(ProductEdition::TTS)) {
    settings->ProductType = static_cast<int32_t>(ProductEdition::TNS);
    settings->ProductName = ProductNameFor(settings->ProductType);
    settings->LineupType = settings->ManualType == 2 ? 3 : 11;
  } else if (settings->ProductType == static_cast<int32_t>(ProductEdition::TVG)) {
    settings->LineupType = 4;
  }
  v.Int(L"DownloaderVersion", 2000000, &settings->DownloaderVersion);
  v.Int(L"SetupLauncherXMLVersion", 0, &settings->SetupLauncherXMLVersion);
  v.String(L"ProviderType", L"KOTA", &settings->ProviderType);
  v.Int(L"InstallType", 0, &settings->InstallType);
  v.String(L"InstallSupportURL", kDefaultInstallSupportUrl, &settings->InstallSupportURL);
  v.String(L"InstallSupportURLTrial", kDefaultInstallSupportUrl, &settings->InstallSupportURLTrial);
  return !v.failed();
}

void ClearLaunchLists(LaunchSettings* settings) {
  settings->DownloadServers.clear();
  settings->ConflictPackages.clear();
  settings->ConflictSoftwareNames.clear();
  settings->ConflictSecurityCenterNames.clear();
}
