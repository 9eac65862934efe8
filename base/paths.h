#pragma once
#include <string>

// Native path helpers; the separator comes from the platform.
std::wstring EnsureTrailingSeparator(std::wstring folder);
// folder + name, with exactly one separator between them.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
// Drive and folder of a full path, with a trailing separator ("C:\a\b.exe" -> "C:\a\").
std::wstring ParentFolder(const std::wstring& path);
// Creates the folder and every missing folder above it; true when it exists afterwards.
[[nodiscard]] bool CreateFolderTree(const std::wstring& folder);
// The last element of a path.
std::wstring FileNameOf(const std::wstring& path);
// Extension without the dot, as written ("a.MSI" -> "MSI"); empty when none.
std::wstring ExtensionOf(const std::wstring& path);
// A name that stands for one file in the folder it is joined to, and only
// there: not "." or "..", no separator, no drive, no character Windows refuses in a
// name, no trailing dot or blank (Windows drops them), and no device name
// such as CON, NUL, COM1 or LPT1 (with any extension, in any case).
bool IsPlainFileName(const std::wstring& name);
