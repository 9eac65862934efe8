#pragma once
#include <cstdint>
#include <string>

#include "base/editions.h"

struct LaunchSettings;
struct WorkingPaths;

// "TTS", "TVG", "TNS", "TTSP".
const wchar_t* EditionShortCode(ProductEdition edition);
// The name the installed product writes to the registry, e.g. "TAVO Total Shield".
const wchar_t* EditionProductName(ProductEdition edition);

// Where the installed product keeps its facts under HKEY_LOCAL_MACHINE.
extern const wchar_t kInstalledProductInfoKey[];

// Each fills the text and returns true when the registry value was read.
bool GetInstalledProductName(std::wstring* name);
bool GetInstalledProductVersion(std::wstring* version);
bool GetInstallDir(std::wstring* folder);

// "ProductName" equals the edition's name exactly (case-sensitive).
bool IsEditionInstalled(ProductEdition edition);
bool IsAnyEditionInstalled();
bool IsTtsOrTvgInstalled();

// Indexes of the version table used by the notice conditions: 1 "3.0" ... 10 "10.0".
constexpr int kFirstVersionIndex = 1;
constexpr int kLastVersionIndex = 10;
// The prefix of a version-table row; null outside 1..10.
const wchar_t* VersionPrefixOf(int index);
// "ProductVersion" begins with the prefix of that row.
bool InstalledVersionIs(int index);

// An edition other than the one this launcher installs is on the machine
// (it cannot be upgraded by this launcher). Logs the installed edition.
bool IsOtherEditionInstalled(const LaunchSettings& settings);
// The installed version is at least the latest one of the launcher version file.
bool IsLatestVersionInstalled(const LaunchSettings& settings, const WorkingPaths& paths);

// Results of CompareVersions.
constexpr int kVersionsEqual = 0;
constexpr int kVersionOlder = 1;    // a older than b
constexpr int kVersionNewer = 2;    // a newer than b
constexpr int kVersionInvalid = 99; // either text is not four dot-separated parts
int CompareVersions(const std::wstring& a, const std::wstring& b);
