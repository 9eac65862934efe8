#pragma once
#include <string>
#include <vector>

struct LaunchSettings;
struct RunResult;

// Shown for a conflicting product whose name could not be found out.
extern const wchar_t kUnknownConflictName[];

// One entry of the installed-software list (the Uninstall keys).
struct InstalledSoftwareEntry {
  std::wstring KeyPath;  // Uninstall root, subkey name and a backslash
  std::wstring DisplayName;
  std::wstring DisplayVersion;
  std::wstring InstallLocation;
};

// The Uninstall entries of both roots ("SOFTWARE\Microsoft\..." and
// "SOFTWARE\Wow6432Node\Microsoft\..."), read in the 64-bit view under WoW64.
// Subkeys that cannot be opened are passed over; entries without a
// "DisplayName" are dropped.
std::vector<InstalledSoftwareEntry> ReadInstalledSoftwareList();

// Lower-cases the letters of the scripts product names are written in
// (Latin, Greek, Cyrillic, full-width Latin), the same on both builds.
std::wstring LowerForMatch(std::wstring text);

// The three ways of finding conflicting software; each fills names and
// returns true when it found something.
bool FindRegistryConflicts(const LaunchSettings& settings, std::vector<std::wstring>* names);
bool FindInstalledSoftwareConflicts(const LaunchSettings& settings, std::vector<std::wstring>* names);
bool FindSecurityCenterConflicts(std::vector<std::wstring>* names);

// Looks for conflicting software in the three ways, stopping at the first that
// finds something. Empties and fills the result's DetectedConflictNames; the
// Security Center way may set SecurityCenterConflict (never reset here).
bool DetectConflicts(const LaunchSettings& settings, RunResult* result);
