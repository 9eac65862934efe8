#pragma once
#include <cstdint>
#include <string>

#include "base/window_messages.h"  // WM_DOWNLOAD_PROGRESS carries the progress text to the status page

// Receiver of progress notifications. The downloader calls it synchronously
// on its own worker thread and waits until it returns; the install worker
// routes the call to the status page's window (a sent window message whose
// lParam points to the text). The text is valid only during the call.
class DownloadNotifyTarget {
 public:
  virtual ~DownloadNotifyTarget() = default;
  virtual void Notify(uint32_t message, const std::wstring& text) = 0;
};
