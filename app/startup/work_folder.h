#pragma once

struct LauncherContext;

// Sets up the private working folder under the system's temporary folder: the
// folder this launcher runs from when its predecessor started it from there,
// else a new one. Programs started later
// get it as their TEMP and TMP. False with the last error set when no such
// folder can be had.
bool PrepareWorkFolder(LauncherContext* context);

// Removes the working folders that earlier runs left behind. Only a launcher
// that knows itself the only one of the machine may: another one's folder is
// in use.
void RemoveStaleWorkFolders(const LauncherContext& context);
