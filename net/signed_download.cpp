#include "net/signed_download.h"

#include <string>

#include "net/http_downloader.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/held_file.h"

namespace {

// The whole held file, read through its hold; false above maxBytes.
bool ReadHeld(platform::HeldFile& file, uint64_t maxBytes, std::string* bytes) {
  bytes->clear();
  if (!file.Rewind()) return false;
  char block[16 * 1024];
  for (;;) {
    size_t got = 0;
    if (!file.Read(block, sizeof(block), &got)) return false;
    if (got == 0) return true;
    if (bytes->size() + got > maxBytes) return false;
    bytes->append(block, got);
  }
}

}  // namespace

bool SignedFileDownloader::Download(const DownloadRequest& request) {
  const uint64_t start = platform::TickCountMs();
  if (!files_.Download(request)) return false;
  if (!trust::SignedAnswersRequired()) return true;
  // What is judged is what the caller reads: the file through its hold.
  platform::HeldFile own;
  platform::HeldFile* file = request.hold ? request.hold : &own;
  std::string content;
  const uint64_t maxContent = request.maxBytes ? request.maxBytes + 64 * 1024 : UINT64_MAX;
  if ((!request.hold && !own.Open(request.localPath)) || !ReadHeld(*file, maxContent, &content)) return false;

  // The signature shares what is left of the file's deadline.
  DownloadRequest signatureRequest = XmlFileRequest(request.url + L".sig", request.localPath + L".sig",
                                                    request.timeoutMs);
  signatureRequest.maxBytes = kMaxSignatureBytes;
  if (request.deadlineMs) {
    const uint64_t spent = platform::TickCountMs() - start;
    signatureRequest.deadlineMs = spent < request.deadlineMs ? static_cast<uint32_t>(request.deadlineMs - spent) : 1;
  }
  platform::HeldFile signatureFile;
  signatureRequest.hold = &signatureFile;
  std::string signature;
  const bool fetched = files_.Download(signatureRequest) &&
                       ReadHeld(signatureFile, kMaxSignatureBytes, &signature);
  return trust::AcceptSignedAnswer(kind_, content, fetched ? &signature : nullptr, request.url);
}
