#pragma once
#include "net/downloader.h"
#include "trust/signed_answers.h"

// The download of a server file that a release build reads only under the
// vendor's detached signature: after the file, <its URL>.sig is fetched, and
// a file whose signature is missing or refused counts as a download that
// failed, so that the caller goes on as for any failed download and reads
// nothing of it. A development build fetches the file alone.
class SignedFileDownloader : public Downloader {
 public:
  // A signature is a few kilobytes; a longer answer is no signature.
  static constexpr uint64_t kMaxSignatureBytes = 64 * 1024;

  SignedFileDownloader(Downloader& files, trust::AnswerKind kind) : files_(files), kind_(kind) {}
  bool Download(const DownloadRequest& request) override;
  void GiveUp(const DownloadRequest& request) override { files_.GiveUp(request); }

 private:
  Downloader& files_;
  trust::AnswerKind kind_;
};
