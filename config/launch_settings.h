#pragma once
#include <cstdint>
#include <string>
#include <vector>

class XmlConfigReader;

// A product whose registry key marks it as conflicting software.
struct ConflictPackage {
  std::wstring PackageName;
  std::wstring RegistryKey;
};

// The values of SetupLauncherV2.xml.
struct LaunchSettings {
  int32_t ProductType = 1;
  std::wstring ProductName = L"TAVO Total Shield";
  int32_t PackageType = 1;
  int32_t LineupType = 0;
  std::wstring PackageVersionWin = L"0.0";
  std::wstring PackageVersionMac = L"0.0";
  int32_t ManualType = 99;
  int32_t DownloaderVersion = 2000000;
  int32_t SetupLauncherXMLVersion = 0;
  std::wstring ProviderType = L"KOTA";
  int32_t DownloadServerCount = 0;
  std::vector<std::wstring> DownloadServers;
  int32_t InstallType = 0;
  int32_t EnableServerCheck = 0;
  std::vector<ConflictPackage> ConflictPackages;
  std::vector<std::wstring> ConflictSoftwareNames;
  std::vector<std::wstring> ConflictSecurityCenterNames;
  std::wstring InstallSupportURL;
  std::wstring InstallSupportURLTrial;

  LaunchSettings();
};

// The vendor's installation-support page, the default of both support addresses.
extern const wchar_t kDefaultInstallSupportUrl[];

// True when an installation that ended with resultCode asks for a restart:
// a success of a package whose PackageType is 1. The wizard then shows the
// completion page, which asks for it, instead of ending at once.
bool SuccessAsksRestart(const LaunchSettings& settings, int32_t resultCode);

// The edition name that goes with a ProductType value ("TAVO製品" for unknown ones).
std::wstring ProductNameFor(int32_t productType);

// What a load reads: a newer settings file fetched in the run keeps the base
// values the launcher started with.
enum class SettingsPart { kEveryValue, kAllButBase };

bool LoadLaunchSettings(LaunchSettings* settings, const std::wstring& path, SettingsPart part);
bool LoadLaunchSettings(LaunchSettings* settings, const XmlConfigReader& file, SettingsPart part);
// The base values only, with the lineup adjustment of earlier settings files.
bool LoadLaunchBase(LaunchSettings* settings, const std::wstring& path);
bool LoadLaunchBase(LaunchSettings* settings, const XmlConfigReader& file);
void ClearLaunchLists(LaunchSettings* settings);
