#pragma once
#include <cstdint>
#include <string>

// The window message that carries the download progress text to the status
// page (WM_APP + 0x138B).
constexpr uint32_t WM_DOWNLOAD_PROGRESS = 0x8000 + 0x138B;

// Receiver of progress notifications. The downloader calls it synchronously
// on its own worker thread and waits until it returns; the install worker
// routes the call to the status page's window (a sent window message whose
// lParam points to the text). The text is valid only during the call.
class DownloadNotifyTarget {
 public:
  virtual ~DownloadNotifyTarget() = default;
  virtual void Notify(uint32_t message, const std::wstring& text) = 0;
};
