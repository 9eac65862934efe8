#include "install/scanner_library.h"

#include <memory>

#include "base/debug_log.h"
#include "base/paths.h"
#include "base/working_paths.h"
#include "config/download_config.h"
#include "config/launch_settings.h"
#include "config/package_paths.h"
#include "env/installed_edition.h"
#include "env/os_detection.h"
#include "net/package_download.h"
#include "platform/file_security.h"
#include "platform/files.h"
#include "platform/held_file.h"
#include "platform/md5.h"
#include "trust/program_trust.h"

namespace {

const wchar_t kLibraryName[] = L"tguiScan.dll";
const wchar_t kParkedName[] = L"tguiScanDeleteFile";
// The new library is copied beside the installed one first, under this name.
const wchar_t kStagedName[] = L"tguiScanNewFile";

constexpr size_t kCopyBlockSize = 64000;

// The last verified package of this run whose download is the library in the
// work folder; null when none is (the file was put there by someone else).
const PackageEntry* PackageThatPlaced(const std::wstring& source, const WorkingPaths& paths,
                                      const std::vector<PackageEntry>& packages) {
  const PackageEntry* placed = nullptr;
  for (const PackageEntry& package : packages) {
    if (package.Verified && PackageFilePath(paths.WorkFolder, package) == source) placed = &package;
  }
  return placed;
}

// Copies the library into a new file (which takes the permissions of the
// folder it is made in) and gives the MD5 digest of what was copied. The
// source is never read through a link.
bool CopyLibrary(const std::wstring& source, const std::wstring& target, std::wstring* digest) {
  platform::File in, out;
  platform::Md5Hash md5;
  if (!in.Open(source, platform::File::Mode::ReadOwnFile) || !out.Open(target, platform::File::Mode::CreateWrite) ||
      !md5.Begin()) {
    return false;
  }
  std::unique_ptr<char[]> block(new char[kCopyBlockSize]);
  for (;;) {
    size_t read = 0;
    if (!in.Read(block.get(), kCopyBlockSize, &read)) return false;
    if (read == 0) break;
    if (!out.Write(block.get(), read) || !md5.Update(block.get(), read)) return false;
  }
  uint8_t bytes[platform::kMd5DigestSize];
  if (!out.Flush() || !out.Close() || !md5.Finish(bytes)) return false;
  *digest = Md5Text(bytes);
  return true;
}

// The copy is what the package's check accepted: a file changed in the work
// folder after its check is not taken. A hash of "0" asked for no check.
bool MatchesPackage(const std::wstring& digest, const PackageEntry* package) {
  return !package || DigestMatchesPackage(digest, package->PackageHash);
}

}  // namespace

bool ReplaceScannerLibrary(const LaunchSettings& settings, const WorkingPaths& paths,
                           const std::vector<PackageEntry>& packages) {
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
  // Anyone may put a file into the work folder; only what a package of this
  // run downloaded and verified there goes into the product.
  const PackageEntry* package = offline ? nullptr : PackageThatPlaced(source, paths, packages);
  if (!offline && !package) {
    Log().ErrorPlain(L"このインストールでダウンロードしたファイルではないため、DLLファイルを使用しません。");
    return false;
  }

  std::wstring installDir;
  if (!GetInstallDir(&installDir)) {
    Log().ErrorPlain(L"インストールパスの取得に失敗しました。");
    return false;
  }
  const std::wstring folder = EnsureTrailingSeparator(installDir);
  const std::wstring target = folder + kLibraryName;
  const std::wstring staged = folder + kStagedName;
  // Parked beside it, where only administrators write, not where a user
  // could swap it for the copy that goes back on failure.
  const std::wstring parked = folder + kParkedName;

  // The copy is made and checked in the install folder before the installed
  // library is touched, so that a failure leaves the product as it was.
  std::wstring digest;
  if (!CopyLibrary(source, staged, &digest)) {
    Log().ErrorPlain(L"DLLファイルのコピーに失敗しました。");
    platform::DeleteFileAt(staged);
    return false;
  }
  if (!MatchesPackage(digest, package)) {
    Log().ErrorPlain(L"確認後にDLLファイルが変更されたため、DLLファイルを使用しません。");
    platform::DeleteFileAt(staged);
    return false;
  }
  // The product loads it elevated: a release build takes only a library the
  // vendor signed. The copy is checked, in a folder only administrators write.
  if (!trust::PinnedSignerKeys().empty()) {
    platform::HeldFile copy;
    const bool signedByVendor = copy.Open(staged) && trust::VendorSignatureAccepted(copy);
    copy.Close();
    if (!signedByVendor) {
      Log().ErrorPlain(L"DLLファイルの署名を確認できないため、DLLファイルを使用しません。");
      platform::DeleteFileAt(staged);
      return false;
    }
  }
  // The installed library is moved aside, not overwritten: the product may
  // have it loaded, and a loaded library can be renamed but not replaced.
  if (!platform::MoveFileReplacing(target, parked)) {
    Log().ErrorPlain(L"DLLファイルの移動に失敗しました。");
    platform::DeleteFileAt(staged);
    return false;
  }
  if (!platform::MoveFileReplacing(staged, target)) {
    Log().ErrorPlain(L"DLLファイルのコピーに失敗しました。");
    platform::DeleteFileAt(staged);
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
