#pragma once
#include <vector>

struct LaunchSettings;
struct PackageEntry;
struct WorkingPaths;

// Replaces the product's scanner user-interface library ("tguiScan.dll" in
// its install folder) with the copy the launcher carries (offline) or one
// that a verified package of this run (packages) downloaded into the work
// folder (online): the new library is copied into the install folder, where
// it takes the folder's permissions, the installed one is parked in the work
// folder, and "Users" are granted execute access. A file in the work folder
// that no verified package placed there is left alone. True when the library
// was replaced or when there is no new copy.
bool ReplaceScannerLibrary(const LaunchSettings& settings, const WorkingPaths& paths,
                           const std::vector<PackageEntry>& packages);
