#pragma once

struct LaunchSettings;
struct WorkingPaths;

// Replaces the product's scanner user-interface library ("tguiScan.dll" in
// its install folder) with the copy the launcher carries (offline) or a
// package placed in the work folder (online): the installed file is parked in
// the work folder, the new one moved into its place and "Users" granted
// execute access. True when it was replaced or when there is no new copy.
bool ReplaceScannerLibrary(const LaunchSettings& settings, const WorkingPaths& paths);
