#include "config/download_config.h"

#include <algorithm>
#include <utility>

#include "base/debug_log.h"
#include "base/paths.h"
#include "base/text.h"
#include "config/xml_config_reader.h"
#include "platform/com.h"
#include "platform/files.h"

const wchar_t kDownloadConfigFileName[] = L"DownloadConfig.xml";

namespace {

const wchar_t kCountKey[] = L"DownloadConfig/PackageDownloadServerCount/";

// Whether a package's text value may be empty.
enum class Presence { kOptional, kRequired };

// Reads the keys of one package in the file's order; false as soon as a
// lookup fails in the DOM or a required value is empty. The key path is built
// in one buffer: a large configuration makes tens of thousands of lookups.
class PackageReader {
 public:
  PackageReader(const XmlConfigReader& reader, uint32_t index)
      : reader_(reader), key_(FormatText(L"DownloadConfig/Package%02u/", index)), prefixLength_(key_.size()) {}

  bool Text(const wchar_t* name, std::wstring* value, Presence presence) {
    int32_t found = kXmlNotFound;
    *value = reader_.GetString(Key(name), std::wstring(), &found);
    return found != kXmlDomFailure && !(presence == Presence::kRequired && value->empty());
  }
  bool Int(const wchar_t* name, int32_t* value) {
    int32_t found = kXmlNotFound;
    *value = reader_.GetInt(Key(name), *value, &found);
    return found != kXmlDomFailure;
  }
  bool UInt(const wchar_t* name, uint32_t* value) {
    int32_t found = kXmlNotFound;
    *value = reader_.GetUInt(Key(name), *value, &found);
    return found != kXmlDomFailure;
  }

 private:
  const std::wstring& Key(const wchar_t* name) {
    key_.resize(prefixLength_);
    key_ += name;
    key_ += L'/';
    return key_;
  }
  const XmlConfigReader& reader_;
  std::wstring key_;
  size_t prefixLength_;
};

bool ReadPackage(const XmlConfigReader& reader, uint32_t index, PackageEntry* entry) {
  PackageReader r(reader, index);
  return r.Text(L"PackageDownloadURL", &entry->PackageDownloadURL, Presence::kOptional) &&
         r.Text(L"PackageVersion", &entry->PackageVersion, Presence::kRequired) &&
         r.Text(L"PackageName", &entry->PackageName, Presence::kRequired) &&
         r.Text(L"SaveFilePath", &entry->SaveFilePath, Presence::kOptional) &&
         r.Text(L"ExecCommand", &entry->ExecCommand, Presence::kOptional) &&
         r.Text(L"PackageHash", &entry->PackageHash, Presence::kRequired) &&
         r.Text(L"PackageFileName", &entry->PackageFileName, Presence::kRequired) &&
         r.Int(L"ErrorSkip", &entry->ErrorSkip) &&
         r.Int(L"ExecType", &entry->ExecType) &&
         r.Int(L"ExecSuccessCode", &entry->ExecSuccessCode) &&
         r.Int(L"Architecture", &entry->Architecture) &&
         r.Int(L"ProductType", &entry->ProductType) &&
         r.UInt(L"PackageFileSize", &entry->PackageFileSize) &&
         r.Int(L"TargetOS", &entry->TargetOS) &&
         r.Int(L"IsManual", &entry->IsManual) &&
         r.Int(L"ManualType", &entry->ManualType) &&
         r.Int(L"LauncherVersion", &entry->LauncherVersion) &&
         r.Text(L"PackageSha256", &entry->PackageSha256, Presence::kOptional);
}

}  // namespace

bool ParseDownloadConfig(const std::wstring& path, std::vector<PackageEntry>* packages,
                         const std::function<bool(const PackageEntry&)>& applies) {
  platform::InitializeThreadComponents();
  Log().Info(L"設定ファイルの解析処理を実行します。");
  if (!platform::FileExists(path)) {
    Log().Error(L"設定ファイルがありませんでした。");
    return false;
  }
  XmlConfigReader reader;
  if (!reader.Load(path)) {
    Log().Error(L"設定ファイルの解析に失敗しました。");
    return false;
  }
  return ParseDownloadConfig(reader, packages, applies);
}

bool ParseDownloadConfig(const XmlConfigReader& reader, std::vector<PackageEntry>* packages,
                         const std::function<bool(const PackageEntry&)>& applies) {
  int32_t found = kXmlNotFound;
  int32_t count = reader.GetInt(kCountKey, 0, &found);
  if (found == kXmlDomFailure) {
    Log().Error(L"データカウントの取得に失敗しました。");
    return false;
  }
  // The count is taken as an unsigned number; a negative or absurd count
  // runs into the first missing package, whose empty version fails the
  // parse, so the walk never goes past the packages the file holds.
  const uint64_t limit = static_cast<uint32_t>(count);
  for (uint64_t i = 0; i < limit; ++i) {
    PackageEntry entry;
    if (!ReadPackage(reader, static_cast<uint32_t>(i), &entry)) return false;
    // The name is joined to the work folder and run from there: it must not
    // reach another folder or a device.
    if ((!applies || applies(entry)) && !IsPlainFileName(entry.PackageFileName)) {
      Log().ErrorPlain(L"パッケージのファイル名が正しくありません。");
      Log().ErrorPlain(entry.PackageFileName);
      return false;
    }
    packages->push_back(std::move(entry));
  }
  return true;
}
