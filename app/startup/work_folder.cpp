#include "app/startup/work_folder.h"

#include <cwchar>
#include <vector>

#include "app/launcher_context.h"
#include "base/paths.h"
#include "base/text.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/private_folder.h"
#include "platform/run_process.h"

namespace {

const wchar_t kWorkFolderPrefix[] = L"TAVOSetup-";

bool IsWorkFolderName(const std::wstring& name) {
  return name.compare(0, wcslen(kWorkFolderPrefix), kWorkFolderPrefix) == 0;
}

}  // namespace

bool PrepareWorkFolder(LauncherContext* context) {
  const std::wstring parent = platform::GetSystemTempFolder();
  if (parent.empty()) return false;
  // A launcher started by the self-update runs from its predecessor's folder
  // and works on in it.
  const std::wstring own = context->LauncherFolder;
  const std::wstring ownName = FileNameOf(own.substr(0, own.size() - 1));
  // Windows spells a folder's name in either case. The inherited folder is
  // held open as a new one is.
  constexpr bool kHeldOpen = true;
  const bool inherited = ToLowerAscii(own) == ToLowerAscii(parent + ownName + platform::PathSeparator()) &&
                         IsWorkFolderName(ownName) && platform::IsPrivateFolder(own, kHeldOpen);
  context->WorkFolder = inherited ? own : platform::CreatePrivateFolder(parent, kWorkFolderPrefix);
  if (context->StartedBySourceLauncher && !inherited) context->PredecessorFolder = own;
  if (context->WorkFolder.empty()) return false;
  context->DownloadConfigPath = context->WorkFolder + L"DownloadConfig.xml";
  platform::SetProgramTempFolder(context->WorkFolder);
  return true;
}

void RemoveStaleWorkFolders(const LauncherContext& context) {
  // The working folder lies in the system's temporary folder, and so do the
  // folders of earlier runs.
  const std::wstring& own = context.WorkFolder;
  if (own.empty()) return;
  const std::wstring parent = ParentFolder(own.substr(0, own.size() - 1));
  // Folders of earlier runs go; one that is not ours (a user may create
  // entries in the parent) is left alone, and so is the folder this launcher
  // works in or was started from.
  std::vector<std::wstring> names;
  if (!platform::ListFolder(parent, &names)) return;
  constexpr bool kLookOnly = false;
  for (const std::wstring& name : names) {
    const std::wstring folder = parent + name + platform::PathSeparator();
    if (!IsWorkFolderName(name) || folder == context.WorkFolder || folder == context.LauncherFolder) continue;
    if (platform::IsPrivateFolder(folder, kLookOnly)) platform::RemoveFolderTree(folder);
  }
}
