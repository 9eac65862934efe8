#include "config/package_paths.h"

#include "base/paths.h"
#include "base/text.h"
#include "config/download_config.h"
#include "platform/folders.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring WithoutTrailingSeparator(std::wstring folder) {
  while (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
  return folder;
}

// The root of the drive the system folder lies on: "C:\" for
// "C:\Windows\System32", "\\server\share\" for a network path. A path
// without a drive (the simulated machine of the Linux build) takes the folder
// that holds the Windows folder, which plays the part of the system drive
// there, so that nothing lands outside the machine.
std::wstring SystemDriveRoot() {
  const std::wstring path = platform::GetSystemFolder();
  const wchar_t separator = platform::PathSeparator();
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2) + separator;
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    size_t server = path.find_first_of(L"\\/", 2);
    if (server == std::wstring::npos) return path + separator;
    size_t share = path.find_first_of(L"\\/", server + 1);
    if (share == std::wstring::npos) return path + separator;
    return path.substr(0, share + 1);
  }
  return ParentFolder(WithoutTrailingSeparator(platform::GetWindowsFolder()));
}

// A folder is asked of the system only when its macro is used.
template <typename Value>
void ReplaceToken(std::wstring* text, const wchar_t* token, Value value) {
  if (text->find(token) == std::wstring::npos) return;
  ReplaceAll(text, token, value());
}

}  // namespace

std::wstring ExpandPathMacros(const std::wstring& text, const std::wstring& workFolder) {
  std::wstring result = text;
  ReplaceToken(&result, L"*SYSTEM32*", [] { return WithoutTrailingSeparator(platform::GetSystemFolder()); });
  // The folder where the launcher keeps its files: a package saved there is
  // found there by a command, the installer and the scanner library step.
  ReplaceToken(&result, L"*USERTEMP*", [&] { return EnsureTrailingSeparator(workFolder); });
  ReplaceToken(&result, L"*CURRENTPATH*", [] { return ParentFolder(platform::GetModulePath()); });
  ReplaceToken(&result, L"*SYSTEMDRIVE*", [] { return WithoutTrailingSeparator(platform::GetWindowsFolder()); });
  ReplaceToken(&result, L"*WINDIR*", SystemDriveRoot);
  ReplaceToken(&result, L"*DISKTOP*", [] { return EnsureTrailingSeparator(platform::GetDesktopFolder()); });
  return result;
}

std::wstring PackageFilePath(const std::wstring& workFolder, const PackageEntry& package) {
  if (package.SaveFilePath.empty()) return JoinPath(workFolder, package.PackageFileName);
  return ExpandPathMacros(package.SaveFilePath, workFolder);
}

std::wstring PackageCommand(const std::wstring& workFolder, const PackageEntry& package) {
  return ExpandPathMacros(package.ExecCommand, workFolder);
}
