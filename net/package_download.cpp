#include "net/package_download.h"

#include <initializer_list>
#include <memory>

#include "base/debug_log.h"
#include "base/result_codes.h"
#include "base/text.h"
#include "base/working_paths.h"
#include "config/launch_settings.h"
#include "config/package_paths.h"
#include "env/os_detection.h"
#include "net/http_downloader.h"
#include "net/retry_chain.h"
#include "net/signed_download.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/held_file.h"
#include "platform/md5.h"
#include "platform/utf.h"
#include "trust/program_trust.h"

namespace {

constexpr size_t kHashBlockSize = 64000;

void LogInfos(std::initializer_list<std::wstring> lines) {
  for (const std::wstring& line : lines) Log().Info(line);
}

std::wstring ToUpperAscii(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
  }
  return text;
}

}  // namespace

std::wstring Md5Text(const uint8_t* digest) {
  return platform::Utf8ToWide(platform::HexText(digest, platform::kMd5DigestSize));
}

bool DigestMatchesPackage(const std::wstring& digest, const std::wstring& packageHash) {
  // The XML parser hands a hash split over two lines back with a bare line
  // feed, so every line break is removed, not only CR LF pairs.
  return packageHash == L"0" || ToUpperAscii(RemoveLineBreaks(packageHash)) == ToUpperAscii(digest);
}

bool FetchDownloadConfig(const LaunchSettings& settings, const std::wstring& local, platform::HeldFile* hold) {
  HttpDownloader http;
  SignedFileDownloader downloader(http, trust::AnswerKind::kDownloadConfig);
  return TryEachServer(
      settings.DownloadServers, kDownloadConfigFileName,
      [&](const std::wstring& url) {
        DownloadRequest request = XmlFileRequest(url, local);
        request.hold = hold;
        return downloader.Download(request);
      },
      [&](const std::wstring& url, bool succeeded) {
        if (succeeded) {
          LogInfos({L"設定ファイル(DLConfig)のダウンロードに成功しました。", url, local});
        } else {
          LogErrors({L"設定ファイル(DLConfig)のダウンロードに失敗しました。", url, local});
        }
      });
}

bool IsPackageApplicable(const PackageEntry& package, const LaunchSettings& settings) {
  bool editionMatches = package.ProductType == settings.ProductType;
  if (package.Architecture == 99) {
    if (!(package.ProductType == 99 || package.ProductType == 97 || editionMatches)) return false;
  } else {
    int32_t architecture = IsWindows64Bit() ? 1 : 0;
    if (package.Architecture != architecture || !editionMatches) return false;
  }
  if (package.TargetOS != 0 && package.TargetOS != GetOsCode()) return false;
  // Manual packages are never downloaded by the launcher.
  if (package.IsManual != 0) return false;
  return package.LauncherVersion == 130 || package.LauncherVersion == 131;
}

bool CheckServers(const LaunchSettings& settings) {
  // Every server is probed in turn, up to three rounds, without a pause.
  constexpr int kRounds = 3;
  HttpDownloader downloader;
  for (int round = 0; round < kRounds; ++round) {
    const bool answered = TryEachServer(
        settings.DownloadServers, kDownloadConfigFileName,
        [&](const std::wstring& url) { return downloader.CheckConnection(url); },
        [](const std::wstring& url, bool succeeded) {
          if (succeeded) {
            Log().Info(L"接続を確認しました。");
          } else {
            LogErrors({L"接続確認に失敗しました。", url});
          }
        });
    if (answered) return true;
  }
  return false;
}

bool DownloadPackages(const LaunchSettings& settings, const WorkingPaths& paths, std::vector<PackageEntry>* packages,
                      DownloadNotifyTarget* notifyWindow, int32_t* errorCode, WaitClock& clock) {
  *errorCode = kResultDownloadFailed;
  bool outcome = true;
  Log().Info(L"パッケージのダウンロード（関数処理）を行います。");
  HttpDownloader downloader;
  for (PackageEntry& package : *packages) {
    if (!IsPackageApplicable(package, settings)) {
      LogInfos({L"以下のパッケージは、条件に一致しないためダウンロードされません。", package.PackageDownloadURL});
      continue;
    }
    const std::wstring localPath = PackageFilePath(paths.WorkFolder, package);
    const std::wstring& url = package.PackageDownloadURL;
    LogInfos({L"以下のファイルをダウンロードします。", url, localPath});
    // A file on a network share can be served with other bytes once it has
    // been checked: only a local fixed volume keeps what was verified.
    if (!platform::IsOnLocalFixedVolume(localPath)) {
      Log().ErrorPlain(L"以下の保存先はローカルの固定ドライブにないため、パッケージを保存しません。");
      Log().ErrorPlain(localPath);
      *errorCode = kResultPackageDownloadFailed;
      outcome = false;
      continue;
    }
    // An earlier package saved to the same path lets go of it, so that this
    // one can replace the file; once this one is checked, they share its hold
    // and run the file that now lies there, as the configuration asks.
    std::vector<PackageEntry*> samePath;
    for (PackageEntry& earlier : *packages) {
      if (&earlier == &package) break;
      if (earlier.File && ToUpperAscii(earlier.File->Path()) == ToUpperAscii(localPath)) {
        earlier.File.reset();
        samePath.push_back(&earlier);
      }
    }

    // Held from its arrival until its installer has ended, and hashed
    // through that hold: the file that runs is the file that was checked.
    auto file = std::make_shared<platform::HeldFile>();
    DownloadRequest request{url, localPath, 0, notifyWindow, WM_DOWNLOAD_PROGRESS, package.PackageFileSize};
    request.hold = file.get();
    const bool downloaded = DownloadWithRetries(
        downloader, request, paths.UserTempFolder, clock,
        [&](int attempt) {
          LogErrors({FormatText(L"以下のプログラムのダウンロードに失敗しました。(リトライ:%d)", attempt), localPath, url});
        },
        [&](const std::wstring& path) { return PackageHashMatches(path, package.PackageHash); });
    if (!downloaded) {
      *errorCode = kResultPackageDownloadFailed;
      outcome = false;
      continue;
    }
    // After a failed package nothing is installed, so later files are only
    // fetched, not checked.
    if (!outcome) continue;
    if (!VerifyPackageHash(*file, package.PackageHash)) {
      LogErrors({L"ハッシュデータに誤りがあります。", package.PackageHash});
      *errorCode = kResultHashMismatch;
      return false;
    }
    Log().Info(L"ハッシュ解析処理を完了しました。");
    // An installer runs elevated: a release build runs only what the vendor
    // signed, and only the file its signed configuration names by SHA-256.
    if (!trust::PackageSha256Accepted(*file, package) ||
        (package.ExecType == kExecInstaller && !trust::VendorSignatureAccepted(*file))) {
      *errorCode = kResultHashMismatch;
      return false;
    }
    package.Verified = true;
    for (PackageEntry* earlier : samePath) {
      // A release build runs an earlier entry only when the file that now
      // lies at its path is the one that entry names too.
      if (!trust::PinnedSignerKeys().empty() &&
          !(VerifyPackageHash(*file, earlier->PackageHash) && trust::PackageSha256Accepted(*file, *earlier))) {
        LogErrors({L"以下のパッケージは後のパッケージに置き換えられたため、実行しません。", localPath});
        earlier->Verified = false;
        *errorCode = kResultHashMismatch;
        return false;
      }
      earlier->File = file;
    }
    package.File = std::move(file);
  }
  return outcome;
}

bool ComputeFileMd5(const std::wstring& path, std::wstring* digest) {
  digest->clear();
  platform::HeldFile file;
  return file.Open(path) && ComputeFileMd5(file, digest);
}

bool ComputeFileMd5(platform::HeldFile& file, std::wstring* digest) {
  digest->clear();
  if (!file.Rewind()) return false;
  platform::Md5Hash hash;
  if (!hash.Begin()) return false;
  std::unique_ptr<char[]> block(new char[kHashBlockSize]);
  for (;;) {
    size_t read = 0;
    if (!file.Read(block.get(), kHashBlockSize, &read)) return false;
    if (read == 0) break;
    if (!hash.Update(block.get(), read)) return false;
  }
  uint8_t bytes[platform::kMd5DigestSize];
  if (!hash.Finish(bytes)) return false;
  *digest = Md5Text(bytes);
  return true;
}

bool VerifyPackageHash(const std::wstring& localPath, const std::wstring& packageHash) {
  platform::HeldFile file;
  if (packageHash != L"0" && !file.Open(localPath)) return false;
  return VerifyPackageHash(file, packageHash);
}

bool VerifyPackageHash(platform::HeldFile& file, const std::wstring& packageHash) {
  if (packageHash == L"0") {
    Log().Info(L"ハッシュを確認しません。");
    return true;
  }
  std::wstring digest;
  if (!ComputeFileMd5(file, &digest)) return false;
  if (digest.empty()) {
    Log().Error(L"ハッシュの取得に失敗しました。");
    return false;
  }
  LogInfos({L"ダウンロードしたファイルのハッシュ値", ToUpperAscii(digest), L"設定ファイルのハッシュ値",
            ToUpperAscii(packageHash)});
  return DigestMatchesPackage(digest, packageHash);
}

bool PackageHashMatches(const std::wstring& path, const std::wstring& packageHash) {
  std::wstring digest;
  return packageHash == L"0" || (ComputeFileMd5(path, &digest) && DigestMatchesPackage(digest, packageHash));
}
