#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "net/download_notify.h"
#include "platform/files.h"
#include "platform/held_file.h"

// Every downloader receives a body into localPath + this suffix and moves it
// into place only when whole, so that a broken download never destroys a good
// earlier copy of the file.
extern const wchar_t kDownloadPartSuffix[];

// What one attempt of a download leaves for the next, so that a transfer that
// broke goes on where it stopped instead of starting again. The retry chain
// owns it across its attempts; the side file stays open in it between them,
// so that what the next attempt appends to is exactly what the last one wrote.
struct DownloadResume {
  platform::File part;    // the side file, open while earlier bytes are kept
  std::wstring validator;  // the answer's ETag (strong) or Last-Modified; empty: cannot resume
  uint64_t length = 0;     // the whole file's length as first announced; 0: unknown, cannot resume
  uint64_t have = 0;       // bytes of it in the side file
  bool resumed = false;    // the last attempt appended to earlier bytes
  // Some answer of this download carried an entity tag: a date no longer
  // tells whether the file is still the same one.
  bool sawEntityTag = false;
  // Decides whether a file completed from pieces is good; a file it refuses
  // is discarded and fetched once more whole in the same attempt. Empty:
  // every one is.
  std::function<bool(const std::wstring& path)> resumedFileGood;
};

// One download of url into localPath.
struct DownloadRequest {
  std::wstring url;
  std::wstring localPath;
  uint32_t timeoutMs = 0;  // 0: the downloader's default
  DownloadNotifyTarget* progress = nullptr;
  uint32_t progressMessage = 0;
  // The size the progress counts up to; 0: unknown. A body that comes
  // without an announced length must also have this size, give or take the
  // rounding to KB: a connection that broke off would otherwise pass for
  // the whole file.
  uint32_t expectedKB = 0;
  // Not 0: a body longer than this is not received further. What arrived (a
  // little more than maxBytes) is kept as the file, whose reader then refuses
  // it as too large, as it would refuse a malformed file.
  uint64_t maxBytes = 0;
  // Null: a single download, which starts afresh and leaves no side file.
  DownloadResume* resume = nullptr;
  // Not 0: each request of the download ends within this many ms, whatever
  // the server sends (a slow or trickling answer included).
  uint32_t deadlineMs = 0;
  // Not null: the finished file is held through this from the moment it is
  // in place, taken over from the handle that wrote it, so that no other
  // file can come between the download and its hold.
  platform::HeldFile* hold = nullptr;
};

// What the download retries call for each attempt. HttpDownloader is the
// real one.
class Downloader {
 public:
  virtual ~Downloader() = default;
  // True when the whole file arrived at request.localPath.
  virtual bool Download(const DownloadRequest& request) = 0;
  // The download was given up: what its attempts kept for resuming goes; an
  // earlier copy of the file stays.
  virtual void GiveUp(const DownloadRequest& request) { (void)request; }
};
