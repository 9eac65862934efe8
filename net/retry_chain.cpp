#include "net/retry_chain.h"

#include "base/debug_log.h"
#include "base/paths.h"
#include "base/text.h"
#include "platform/files.h"

const wchar_t kRetryMarkerFileName[] = L"$retry$.dat";

std::wstring ServerFileUrl(const std::wstring& server, const std::wstring& fileName) {
  std::wstring url = server;
  if (url.empty() || url.back() != L'/') url.push_back(L'/');
  return url + fileName;
}

bool TryEachServer(const std::vector<std::wstring>& servers, const std::wstring& fileName,
                   const std::function<bool(const std::wstring& url)>& attempt,
                   const std::function<void(const std::wstring& url, bool succeeded)>& report) {
  for (const std::wstring& server : servers) {
    if (server.empty()) continue;
    const std::wstring url = ServerFileUrl(server, fileName);
    const bool succeeded = attempt(url);
    report(url, succeeded);
    if (succeeded) return true;
  }
  return false;
}

bool DownloadWithRetries(Downloader& downloader, const DownloadRequest& request, const std::wstring& markerFolder,
                         WaitClock& clock, const std::function<void(int attempt)>& failed,
                         const std::function<bool(const std::wstring& path)>& resumedFileGood, bool waitAfterLast) {
  const std::wstring marker = JoinPath(markerFolder, kRetryMarkerFileName);
  DownloadResume resume;
  resume.resumedFileGood = resumedFileGood;
  DownloadRequest each = request;
  if (resumedFileGood) each.resume = &resume;
  for (int attempt = 0; attempt < kDownloadAttempts; ++attempt) {
    if (downloader.Download(each)) return true;
    // Logged before anything else runs, so the entries carry the download's error.
    failed(attempt);
    // Only whether the marker exists is read; each wait is a fixed minute.
    if ((waitAfterLast || attempt + 1 < kDownloadAttempts) && platform::FileExists(marker)) {
      Log().Info(FormatText(L"再試行待機ファイルがあるため、%u秒待ってから次の処理を行います。", kRetryWaitMs / 1000));
      clock.Wait(kRetryWaitMs);
    }
  }
  downloader.GiveUp(each);
  return false;
}
