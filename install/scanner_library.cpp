#include "install/scanner_library.h"

#include "base/debug_log.h"
#include "base/working_paths.h"
#include "config/launch_settings.h"
#include "base/paths.h"
#include "env/installed_edition.h"
#include "env/os_detection.h"
#include "platform/file_security.h"
#include "platform/files.h"
#include "platform/folders.h"

namespace {

const wchar_t kLibraryName[] = L"tguiScan.dll";
const wchar_t kParkedName[] = L"tguiScanDeleteFile";

}  // namespace

bool ReplaceScannerLibrary(const LaunchSettings& settings, const WorkingPaths& paths) {
  const bool offline = settings.InstallType == 1;
  std::wstring source;
  if (offline) {
    Log().Info(L"オフラインモードで実行します。");
    const std::wstring tools = JoinPath(EnsureTrailingSeparator(paths.LauncherFolder), L"tools");
    source = JoinPath(tools, IsWindows64Bit() ? L"x64_tguiScan.dll" : L"x86_tguiScan.dll");
  } else {
    Log().Info(L"オンラインラインモードで実行します。");
    source = JoinPath(EnsureTrailingSeparator(paths.WorkFolder), kLibraryName);
  }
  Log().Info(L"コピー元ファイルは以下の通りです。");
  Log().Info(source);
  if (!platform::FileExists(source)) {
    Log().Info(L"DLLファイルが存在しないため、ファイルのコピーを実行しません。");
    return true;
  }

  std::wstring installDir;
  if (!GetInstallDir(&installDir)) {
    Log().ErrorPlain(L"インストールパスの取得に失敗しました。");
    return false;
  }
  const std::wstring target = EnsureTrailingSeparator(installDir) + kLibraryName;
  const std::wstring parked = EnsureTrailingSeparator(paths.WorkFolder) + kParkedName;

  if (!platform::MoveFileReplacing(target, parked)) {
    Log().ErrorPlain(L"DLLファイルの移動に失敗しました。");
    return false;
  }
  if (!platform::MoveFileReplacing(source, target)) {
    Log().ErrorPlain(L"DLLファイルのコピーに失敗しました。");
    // The product must not be left without its library: the installed copy goes back.
    if (platform::MoveFileReplacing(parked, target)) {
      Log().Info(L"DLLファイルを元に戻しました。");
    } else {
      Log().ErrorPlain(L"DLLファイルを元に戻せませんでした。");
    }
    return false;
  }
  if (platform::GrantFileAccess(L"Users", target, platform::kFileGenericExecute)) {
    Log().Info(L"DLLファイルのコピーに成功しました。");
  } else {
    Log().Info(L"DLLファイルのコピーに成功しました。(しかし、権限は変更できませんでした。)");
  }
  return true;
}
