#include "base/paths.h"

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

std::wstring FileNameOf(const std::wstring& path) {
  size_t pos = path.find_last_of(std::wstring(1, platform::PathSeparator()) + L"/");
  return pos == std::wstring::npos ? path : path.substr(pos + 1);
}

std::wstring ExtensionOf(const std::wstring& path) {
  std::wstring name = FileNameOf(path);
  size_t dot = name.find_last_of(L'.');
  return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}
