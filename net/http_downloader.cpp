#include "net/http_downloader.h"

#include <cstring>
#include <vector>

#include "base/text.h"
#include "platform/error.h"
#include "platform/file_security.h"
#include "platform/files.h"
#include "platform/http.h"

const wchar_t HttpDownloader::kUserAgent[] = L"KOTA Install Launcher";

namespace {

// Collects the 1 KB blocks into larger writes: a large package would
// otherwise cost one system call per kilobyte. Whatever was received is on
// disk once Flush returns, also when the download fails later.
class BlockWriter {
 public:
  explicit BlockWriter(platform::File* file) : file_(file) { buffer_.reserve(kCapacity); }

  bool Write(const char* data, size_t size) {
    if (buffer_.size() + size > kCapacity && !Flush()) return false;
    buffer_.insert(buffer_.end(), data, data + size);
    return true;
  }

  bool Flush() {
    if (buffer_.empty()) return true;
    bool ok = file_->Write(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
  }

 private:
  static constexpr size_t kCapacity = 64 * 1024;
  platform::File* file_;
  std::vector<char> buffer_;
};

// Keeps the error that made the download fail while the file is flushed.
bool FailAfterFlush(BlockWriter* writer) {
  uint32_t error = platform::LastError();
  writer->Flush();
  platform::SetLastError(error);
  return false;
}

}  // namespace

bool HttpDownloader::DownloadFile(uint32_t timeoutMs, const std::wstring& localPath, const std::wstring& url,
                                  DownloadNotifyTarget* notifyWindow, uint32_t notifyMessage,
                                  uint32_t expectedKB) {
  platform::HttpRequestOptions options;
  options.userAgent = kUserAgent;
  options.timeoutMs = timeoutMs == 0 ? kDefaultTimeoutMs : timeoutMs;
  options.connectRetries = kConnectRetries;
  options.dontCache = true;
  options.binaryTransfer = true;
  options.context = 1;

  platform::HttpRequest request;
  if (!request.Open(url, options)) return false;
  uint32_t status = 0;
  if (!request.StatusCode(&status)) return false;
  // Any other answer leaves an existing local file as it was.
  if (status < 200 || status > 299) return false;
  // A 204 answer has no body, whatever length it may announce.
  uint64_t announced = 0;
  bool hasAnnounced = status != 204 && request.ContentLength(&announced);

  // The body goes to a side file that replaces the local file only once it
  // is whole, so a broken download never destroys a good earlier copy.
  const std::wstring partPath = localPath + kPartSuffix;
  platform::File file;
  if (!file.Open(partPath, platform::File::Mode::CreateWrite)) return false;
  BlockWriter writer(&file);

  // A network read may return fewer bytes than asked long before the body
  // ends, so each block is filled until it is full or the transport reports
  // the end; the last block is short, or empty when the body is an exact
  // multiple of the block size.
  char block[kBlockSize];
  uint32_t kb = 0;
  uint64_t received = 0;
  for (;;) {
    size_t filled = 0;
    while (filled < kBlockSize) {
      size_t read = 0;
      if (!request.Read(block + filled, kBlockSize - filled, &read)) {
        // What arrived before the failure stays in the side file.
        writer.Write(block, filled);
        return FailAfterFlush(&writer);
      }
      if (read == 0) break;
      filled += read;
    }
    if (kb < expectedKB) ++kb;
    if (!writer.Write(block, filled)) return FailAfterFlush(&writer);
    received += filled;
    if (kb % kProgressEvery == 0 && notifyWindow) {
      notifyWindow->Notify(notifyMessage, FormatText(L"%luKB/%luKB", static_cast<unsigned long>(kb),
                                                     static_cast<unsigned long>(expectedKB)));
    }
    if (filled < kBlockSize) break;
  }
  if (!writer.Flush()) return false;
  // A connection that ended before the announced length is a broken
  // download, not a short file.
  if (hasAnnounced && received < announced) {
    platform::SetLastError(platform::kErrorInternetConnectionAborted);
    return false;
  }
  if (!file.Close()) return false;
  return platform::MoveFileReplacing(partPath, localPath);
}

const wchar_t HttpDownloader::kPartSuffix[] = L".part";

bool HttpDownloader::Download(const DownloadRequest& request) {
  return DownloadFile(request.timeoutMs, request.localPath, request.url, request.progress, request.progressMessage,
                      request.expectedKB);
}

bool HttpDownloader::CheckConnection(const std::wstring& url) {
  platform::HttpRequestOptions options;
  options.userAgent = kUserAgent;
  options.timeoutMs = kDefaultTimeoutMs;
  options.connectRetries = kConnectRetries;
  options.reload = true;
  options.context = 0;
  platform::HttpRequest request;
  bool answered = request.Open(url, options);
  request.Close();
  return answered;
}
