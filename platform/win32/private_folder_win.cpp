#include "platform/private_folder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/error.h"
#include "platform/utf.h"
#include "platform/win32/creation_security_win.h"
#include "platform/win32/final_path_win.h"
#include "platform/win32/owned_win.h"
#include "platform/win32/private_folder_win.h"

extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);  // RtlGenRandom

namespace platform {

namespace {

using win32::LocalMemory;
using win32::UniqueFind;
using win32::UniqueHandle;

std::wstring WithoutSeparator(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

bool RunsAsSystem() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
  std::vector<BYTE> buffer(256);
  DWORD size = 0;
  return ::GetTokenInformation(token.get(), TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size) &&
         ::IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, WinLocalSystemSid);
}

// The folder opened as itself (a junction or link is not followed), for
// listing so that its sharing counts, and not shared for deleting, so that
// nobody can rename or delete it while the handle lives.
HANDLE OpenFolder(const std::wstring& folder) {
  return ::CreateFileW(WithoutSeparator(folder).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

bool IsSystemOrAdministrators(PSID sid) {
  return sid && (::IsWellKnownSid(sid, WinLocalSystemSid) || ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid));
}

// Owner SYSTEM or Administrators, a protected list that allows nobody else.
bool SecurityIsPrivate(HANDLE handle) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  LocalMemory<PSECURITY_DESCRIPTOR> descriptor;
  if (::GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                        nullptr, &dacl, nullptr, descriptor.Receive()) != ERROR_SUCCESS) {
    return false;
  }
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  bool ok = dacl && ::GetSecurityDescriptorControl(descriptor.get(), &control, &revision) &&
            (control & SE_DACL_PROTECTED) && IsSystemOrAdministrators(owner);
  for (DWORD i = 0; ok && i < dacl->AceCount; ++i) {
    ACE_HEADER* ace = nullptr;
    if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace))) {
      ok = false;
    } else if (ace->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      ok = IsSystemOrAdministrators(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart);
    } else {
      ok = ace->AceType == ACCESS_DENIED_ACE_TYPE;
    }
  }
  return ok;
}

// Checks the folder, its owner and access list too when asked; with keepOpen
// its handle stays open for the rest of the process, so that nobody renames
// or removes it.
bool CheckFolder(const std::wstring& folder, bool security, bool keepOpen) {
  UniqueHandle handle(OpenFolder(folder));
  if (!handle) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = ::GetFileInformationByHandle(handle.get(), &info) &&
                  (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                  !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && FinalPathIs(handle.get(), folder) &&
                  (!security || SecurityIsPrivate(handle.get()));
  if (!ok) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  // Never closed: the folder stays held until the process ends.
  if (keepOpen) handle.Release();
  return true;
}

}  // namespace

std::wstring SystemTempFolderFor(bool runsAsSystem, TempPath2Fn tempPath2) {
  std::wstring buffer(MAX_PATH + 2, L'\0');
  // Only for SYSTEM does GetTempPath2 give a folder that the environment
  // cannot name; for everyone else it reads TMP and TEMP.
  if (tempPath2 && runsAsSystem) {
    const DWORD n = tempPath2(static_cast<DWORD>(buffer.size()), &buffer[0]);
    if (n > 0 && n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
  }
  const UINT n = ::GetSystemWindowsDirectoryW(&buffer[0], static_cast<UINT>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return std::wstring();
  buffer.resize(n);
  if (buffer.back() != L'\\') buffer.push_back(L'\\');
  return buffer + L"Temp\\";
}

std::wstring GetSystemTempFolder() {
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const FARPROC found = kernel ? ::GetProcAddress(kernel, "GetTempPath2W") : nullptr;
  return SystemTempFolderFor(RunsAsSystem(), reinterpret_cast<TempPath2Fn>(reinterpret_cast<void (*)()>(found)));
}

std::wstring CreatePrivateFolder(const std::wstring& parent, const std::wstring& prefix) {
  LocalMemory<PSECURITY_DESCRIPTOR> descriptor;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kPrivateDescriptor, SDDL_REVISION_1,
                                                              descriptor.Receive(), nullptr)) {
    return std::wstring();
  }
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
  std::wstring base = parent;
  if (!base.empty() && base.back() != L'\\') base.push_back(L'\\');
  std::wstring folder;
  DWORD error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 8 && folder.empty() && error == ERROR_ALREADY_EXISTS; ++attempt) {
    unsigned char random[8];
    if (!SystemFunction036(random, sizeof(random))) {
      error = ERROR_GEN_FAILURE;
      break;
    }
    const std::wstring name = base + prefix + Utf8ToWide(HexText(random, sizeof(random)));
    if (::CreateDirectoryW(name.c_str(), &attributes)) {
      folder = name + L"\\";
    } else {
      error = ::GetLastError();
    }
  }
  if (folder.empty()) {
    ::SetLastError(error);
    return std::wstring();
  }
  // Its access list is the one it was created with, in the same call; the
  // folder is checked for links on its way.
  if (!CheckFolder(folder, false, true)) {
    error = ::GetLastError();
    ::RemoveDirectoryW(WithoutSeparator(folder).c_str());
    ::SetLastError(error);
    return std::wstring();
  }
  RememberPrivateFolder(folder);
  return folder;
}

bool IsPrivateFolder(const std::wstring& folder, bool keepOpen) {
  if (!CheckFolder(folder, true, keepOpen)) return false;
  if (keepOpen) RememberPrivateFolder(folder);
  return true;
}

bool RemoveFolderTree(const std::wstring& folder) {
  const std::wstring base = WithoutSeparator(folder) + L"\\";
  WIN32_FIND_DATAW data;
  UniqueFind find(::FindFirstFileW((base + L"*").c_str(), &data));
  bool ok = true;
  if (find) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = base + name;
      const DWORD attributes = data.dwFileAttributes;
      if (attributes & FILE_ATTRIBUTE_READONLY) ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ok = RemoveFolderTree(path) && ok;
      } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        ok = ::RemoveDirectoryW(path.c_str()) && ok;  // a junction goes as itself
      } else {
        ok = ::DeleteFileW(path.c_str()) && ok;
      }
    } while (::FindNextFileW(find.get(), &data));
    find.Reset();
  }
  const DWORD error = ::GetLastError();
  if (::RemoveDirectoryW(WithoutSeparator(folder).c_str()) && ok) return true;
  if (!ok) ::SetLastError(error);
  return false;
}

}  // namespace platform
