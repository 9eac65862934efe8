#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/download_notify.h"
#include "net/downloader.h"

// The launcher's only HTTP client: fetches one file into a local file on the
// calling worker thread, and probes whether a server answers. Nothing is
// logged here; callers log in their own words and decide about retries.
class HttpDownloader : public Downloader {
 public:
  static const wchar_t kUserAgent[];
  // The body is received into localPath + kPartSuffix and moves into place
  // only when whole; after a failure the received bytes stay there.
  static const wchar_t kPartSuffix[];
  // The timeout used when the caller passes 0, and always by the probe.
  static constexpr uint32_t kDefaultTimeoutMs = 180000;
  static constexpr uint32_t kConnectRetries = 3;
  // One counted block of the progress ("KB").
  static constexpr size_t kBlockSize = 1024;
  // A progress text goes out when the block counter is a multiple of this.
  static constexpr uint32_t kProgressEvery = 100;

  // Downloads url into localPath (replacing an existing file). True when the
  // server answered 200 to 299 and the whole body was written. The local file
  // is not touched before the status is known, nor by a download that
  // fails later (what arrived then stays in the side file). notifyWindow, when given, receives
  // "<kb>KB/<expectedKB>KB" as notifyMessage every 100 counted blocks.
  bool DownloadFile(uint32_t timeoutMs, const std::wstring& localPath, const std::wstring& url,
                    DownloadNotifyTarget* notifyWindow, uint32_t notifyMessage, uint32_t expectedKB);
  bool Download(const DownloadRequest& request) override;

  // True when the server answered the request for url at all, whatever the
  // status; no body is read.
  bool CheckConnection(const std::wstring& url);
};
