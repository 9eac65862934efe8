#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/download_notify.h"
#include "net/downloader.h"

namespace platform {
class HttpRequest;
}
class TransferRules;

// The launcher's only HTTP client: fetches one file into a local file on the
// calling worker thread, and probes whether a server answers. Only an
// answer's status outside 200 to 299 is logged here, so that a refusal
// (a proxy that asks for a login above all) can be diagnosed; callers log
// the outcome in their own words and decide about retries.
class HttpDownloader : public Downloader {
 public:
  static const wchar_t kUserAgent[];
  // The timeout used when the caller passes 0, and always by the probe.
  static constexpr uint32_t kDefaultTimeoutMs = 180000;
  // One counted block of the progress ("KB").
  static constexpr size_t kBlockSize = 1024;
  // A progress text goes out when the block counter is a multiple of this.
  static constexpr uint32_t kProgressEvery = 100;
  // How long one request for one of the launcher's XML files, or one probe,
  // may take in all, from the first connect to the last byte.
  static constexpr uint32_t kXmlDeadlineMs = 300000;

  // Downloads request.url into request.localPath (replacing an existing
  // file). True when the server answered 200 to 299 and the whole body was
  // written. The local file is not touched before the status is known, nor by
  // a download that fails later; nor is a side file left behind. The progress
  // target, when given, receives "<kb>KB/<expectedKB>KB" as the progress
  // message every 100 counted blocks. With request.resume, an attempt after
  // one that broke asks only for the rest (Range with If-Range and the first
  // answer's validator) and appends it when the server answers 206 with that
  // very range, length, total and validator, and sends exactly that many
  // bytes. A 200 starts the file from zero; any other 206 fails the attempt
  // and the next one starts from zero.
  bool Download(const DownloadRequest& request) override;
  void GiveUp(const DownloadRequest& request) override;

  // True when the server answered the request for url at all, whatever the
  // status; no body is read.
  bool CheckConnection(const std::wstring& url);

 private:
  bool Attempt(const DownloadRequest& request, const std::wstring& partPath, DownloadResume& state);
  bool OpenAnswer(const DownloadRequest& request, const DownloadResume* from, platform::HttpRequest* http,
                  TransferRules* rules, uint32_t* status);
};

// The download of one of the launcher's XML files: one larger than their
// readers accept is not received further (and then refused as malformed),
// and the request ends within deadlineMs.
DownloadRequest XmlFileRequest(const std::wstring& url, const std::wstring& localPath, uint32_t timeoutMs = 0,
                               uint32_t deadlineMs = HttpDownloader::kXmlDeadlineMs);
