#pragma once
#include <cstdint>
#include <string>

#include "net/download_notify.h"

// One download of url into localPath.
struct DownloadRequest {
  std::wstring url;
  std::wstring localPath;
  uint32_t timeoutMs = 0;  // 0: the downloader's default
  DownloadNotifyTarget* progress = nullptr;
  uint32_t progressMessage = 0;
  uint32_t expectedKB = 0;  // the size the progress counts up to; 0: unknown
};

// What the download retries call for each attempt. HttpDownloader is the
// real one.
class Downloader {
 public:
  virtual ~Downloader() = default;
  // True when the whole file arrived at request.localPath.
  virtual bool Download(const DownloadRequest& request) = 0;
};
