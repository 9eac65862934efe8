#include "base/paths.h"

#include "platform/files.h"
#include "platform/folders.h"

namespace {
bool IsSeparator(wchar_t c) { return c == platform::PathSeparator() || c == L'/'; }
}  // namespace

std::wstring EnsureTrailingSeparator(std::wstring folder) {
  if (!folder.empty() && !IsSeparator(folder.back())) folder.push_back(platform::PathSeparator());
  return folder;
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  if (folder.empty()) return name;
  std::wstring out = EnsureTrailingSeparator(folder);
  size_t start = 0;
  while (start < name.size() && IsSeparator(name[start])) ++start;
  out.append(name, start, std::wstring::npos);
  return out;
}

std::wstring ParentFolder(const std::wstring& path) {
  size_t pos = path.find_last_of(std::wstring(1, platform::PathSeparator()) + L"/");
  if (pos == std::wstring::npos) {
    // "C:Setup.exe" keeps its drive.
    if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2);
    return std::wstring();
  }
  return path.substr(0, pos + 1);
}

bool CreateFolderTree(const std::wstring& folder) {
  std::wstring path = folder;
  while (!path.empty() && IsSeparator(path.back())) path.pop_back();
  if (path.empty() || platform::FolderExists(path)) return true;
  const std::wstring parent = ParentFolder(path);
  if (!parent.empty() && parent != path && !CreateFolderTree(parent)) return false;
  return platform::CreateFolder(path) || platform::FolderExists(path);
}

std::wstring FileNameOf(const std::wstring& path) {
  size_t pos = path.find_last_of(std::wstring(1, platform::PathSeparator()) + L"/");
  return pos == std::wstring::npos ? path : path.substr(pos + 1);
}

std::wstring ExtensionOf(const std::wstring& path) {
  std::wstring name = FileNameOf(path);
  size_t dot = name.find_last_of(L'.');
  return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}

namespace {

wchar_t UpperAscii(wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

// Windows opens a device, not a file, for these names whatever follows the first dot.
bool IsDeviceName(const std::wstring& name) {
  std::wstring stem = name.substr(0, name.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (wchar_t& c : stem) c = UpperAscii(c);
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (stem == device) return true;
  }
  if (stem.size() != 4 || (stem.compare(0, 3, L"COM") != 0 && stem.compare(0, 3, L"LPT") != 0)) return false;
  const wchar_t digit = stem[3];
  return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

}  // namespace

bool IsPlainFileName(const std::wstring& name) {
  // "." and ".." name folders; they end with a dot like every name Windows
  // would shorten. Two dots inside a name are an ordinary part of it.
  if (name.empty() || name.back() == L'.' || name.back() == L' ') return false;
  for (wchar_t c : name) {
    if (c < 0x20 || std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos) return false;
  }
  return !IsDeviceName(name);
}
