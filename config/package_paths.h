#pragma once
#include <string>

struct PackageEntry;

// Replaces the path macros of the download configuration (*SYSTEM32*,
// *USERTEMP*, *CURRENTPATH*, *SYSTEMDRIVE*, *WINDIR*, *DISKTOP*) in a
// SaveFilePath or ExecCommand. *USERTEMP* names the work folder, where the
// launcher keeps its files.
std::wstring ExpandPathMacros(const std::wstring& text, const std::wstring& workFolder);

// Where a package's file lies once downloaded: the work folder +
// PackageFileName, or the expanded SaveFilePath.
std::wstring PackageFilePath(const std::wstring& workFolder, const PackageEntry& package);

// The package's ExecCommand with its path macros expanded.
std::wstring PackageCommand(const std::wstring& workFolder, const PackageEntry& package);
