#include "net/http_downloader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/debug_log.h"
#include "base/text.h"
#include "config/xml_config_reader.h"
#include "platform/error.h"
#include "platform/file_security.h"
#include "platform/files.h"
#include "platform/http.h"

const wchar_t HttpDownloader::kUserAgent[] = L"KOTA Install Launcher";
const wchar_t kDownloadPartSuffix[] = L".part";

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
    if (ok) written_ += buffer_.size();
    buffer_.clear();
    return ok;
  }

  // The bytes known to be on disk.
  uint64_t written() const { return written_; }

 private:
  static constexpr size_t kCapacity = 64 * 1024;
  platform::File* file_;
  std::vector<char> buffer_;
  uint64_t written_ = 0;
};

// Forgets what a side file held, keeping the caller's last error.
void ForgetPart(DownloadResume* state, const std::wstring& partPath) {
  const uint32_t error = platform::LastError();
  state->part.Close();
  platform::DeleteFileAt(partPath);
  state->validator.clear();
  state->length = 0;
  state->have = 0;
  state->resumed = false;
  platform::SetLastError(error);
}

// The validator that If-Range can carry: a strong ETag, else the date of the
// last change, but only while no answer of the download named an entity tag
// (a weak one included): a date says less than the tag the server keeps.
// Empty when there is none, and then the download cannot resume.
std::wstring ValidatorOf(const platform::HttpRequest& http, DownloadResume* state) {
  std::wstring value;
  if (http.Header(L"ETag", &value) && !value.empty()) {
    state->sawEntityTag = true;
    if (value.compare(0, 2, L"W/") != 0) return value;
  }
  if (!state->sawEntityTag && http.Header(L"Last-Modified", &value) && !value.empty()) return value;
  return std::wstring();
}

bool ParseDecimal(const std::wstring& text, size_t* at, uint64_t* value) {
  size_t i = *at;
  uint64_t n = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    if (n > (UINT64_MAX - 9) / 10) return false;
    n = n * 10 + static_cast<uint64_t>(text[i] - L'0');
  }
  if (i == *at) return false;
  *at = i;
  *value = n;
  return true;
}

// True when a 206 answer carries exactly the rest of the file the side file
// holds the start of: "bytes <have>-<length-1>/<length>" with the first
// answer's total, that many bytes announced, and the same validator. A server
// that leaves any of them out cannot show that the pieces make one file.
bool ContinuesFile(const platform::HttpRequest& http, DownloadResume* state) {
  std::wstring range;
  if (!http.Header(L"Content-Range", &range) || range.compare(0, 6, L"bytes ") != 0) return false;
  size_t at = 6;
  uint64_t first = 0, last = 0, total = 0, announced = 0;
  if (!ParseDecimal(range, &at, &first) || at >= range.size() || range[at++] != L'-' ||
      !ParseDecimal(range, &at, &last) || at >= range.size() || range[at++] != L'/' ||
      !ParseDecimal(range, &at, &total) || at != range.size()) {
    return false;
  }
  if (first != state->have || last + 1 != total || total != state->length) return false;
  if (!http.ContentLength(&announced) || announced != last - first + 1) return false;
  const std::wstring expected = state->validator;
  return ValidatorOf(http, state) == expected;
}

// True when a body that came without an announced length has the size the
// configuration gives in KB, however that was rounded.
bool HasExpectedSize(uint64_t size, uint32_t expectedKB) {
  const uint64_t expected = uint64_t{expectedKB} * HttpDownloader::kBlockSize;
  return size + HttpDownloader::kBlockSize > expected && size < expected + HttpDownloader::kBlockSize;
}

// The status of an answer that is no success goes into the log: the outcome
// line of the caller says only that the download failed.
void LogRefusal(uint32_t status) {
  const uint32_t error = platform::LastError();
  if (status == 407) {
    Log().Info(L"サーバーの応答：HTTP 407（プロキシの認証が必要です）");
  } else {
    Log().Info(FormatText(L"サーバーの応答：HTTP %u", static_cast<unsigned>(status)));
  }
  platform::SetLastError(error);
}

// Fails the attempt with error, and what the side file held goes: the next
// attempt starts from zero.
bool Refuse(DownloadResume* state, const std::wstring& partPath, uint32_t error) {
  platform::SetLastError(error);
  ForgetPart(state, partPath);
  return false;
}

// The rate floor over a window of the floor's length, or of the timeout
// when that is shorter.
void SetRateFloor(platform::HttpRequestOptions* options) {
  options->floorWindowMs = std::min(HttpDownloader::kFloorWindowMs, options->timeoutMs);
  options->floorBytes =
      static_cast<uint32_t>(uint64_t{options->floorWindowMs} * HttpDownloader::kFloorBytesPerSecond / 1000);
}

}  // namespace

bool HttpDownloader::Download(const DownloadRequest& request) {
  DownloadResume single;
  DownloadResume& state = request.resume ? *request.resume : single;
  const std::wstring partPath = request.localPath + kDownloadPartSuffix;
  if (Attempt(request, partPath, state)) return true;
  // A single download is given up at once; nothing stays behind but an
  // earlier copy of the file.
  if (!request.resume) ForgetPart(&state, partPath);
  return false;
}

void HttpDownloader::GiveUp(const DownloadRequest& request) {
  if (request.resume) ForgetPart(request.resume, request.localPath + kDownloadPartSuffix);
}

bool HttpDownloader::OpenAnswer(const DownloadRequest& request, const DownloadResume* from,
                                platform::HttpRequest* http, uint32_t* status) {
  platform::HttpRequestOptions options;
  options.userAgent = kUserAgent;
  options.timeoutMs = request.timeoutMs == 0 ? kDefaultTimeoutMs : request.timeoutMs;
  options.connectRetries = kConnectRetries;
  options.binaryTransfer = true;
  options.context = 1;
  options.deadlineMs = request.deadlineMs;
  SetRateFloor(&options);
  if (from) {
    // The rest only if the file is still the one whose start is kept.
    options.headers = L"Range: bytes=" + std::to_wstring(from->have) + L"-\r\nIf-Range: " + from->validator + L"\r\n";
  }
  if (!http->Open(request.url, options) || !http->StatusCode(status)) return false;
  if (*status >= 200 && *status <= 299) return true;
  // Any other answer leaves the files as they were.
  LogRefusal(*status);
  return false;
}

bool HttpDownloader::Attempt(const DownloadRequest& request, const std::wstring& partPath, DownloadResume& state) {
  platform::HttpRequest http;
  uint32_t status = 0;
  // Only the rest of a file whose length and validator are known can be
  // asked for and checked.
  const bool resuming = state.part.IsOpen() && state.have > 0 && state.have < state.length && !state.validator.empty();
  if (!OpenAnswer(request, resuming ? &state : nullptr, &http, &status)) {
    // The server cannot give the rest it is asked for: the next attempt
    // asks for the whole file.
    if (resuming && status == 416) ForgetPart(&state, partPath);
    return false;
  }
  const bool append = status == 206;
  // A part of a file that was not asked for, or not the rest of this one,
  // is no file at all.
  if (append && !(resuming && ContinuesFile(http, &state))) {
    return Refuse(&state, partPath, platform::kErrorHttpInvalidServerResponse);
  }
  // A 204 answer has no body, whatever length it may announce.
  uint64_t announced = 0;
  bool hasAnnounced = false;
  if (status != 204) {
    hasAnnounced = http.ContentLength(&announced);
    // A length that cannot be read is a broken answer, not a missing one:
    // without it a connection that breaks off would pass for a whole file.
    if (!hasAnnounced && platform::LastError() != platform::kErrorHttpHeaderNotFound) return false;
  }

  if (!append) {
    // From zero: the side file is emptied (or made) and this answer's
    // validator is the one a later attempt resumes against.
    const bool ready = state.part.IsOpen() ? state.part.Truncate()
                                           : state.part.Open(partPath, platform::File::Mode::CreateWrite);
    if (!ready) return false;
    state.have = 0;
    state.validator = ValidatorOf(http, &state);
    state.length = hasAnnounced ? announced : 0;
  }
  state.resumed = append;
  const uint64_t start = state.have;
  BlockWriter writer(&state.part);
  // Keeps what arrived, for the next attempt, and the error that made this one fail.
  auto fail = [&]() {
    const uint32_t error = platform::LastError();
    if (writer.Flush()) {
      state.have = start + writer.written();
    } else {
      state.validator.clear();  // what the side file holds is unknown
    }
    platform::SetLastError(error);
    return false;
  };

  // A network read may return fewer bytes than asked long before the body
  // ends, so each block is filled until it is full or the transport reports
  // the end; the last block is short, or empty when the body is an exact
  // multiple of the block size. A resumed download counts on from the blocks
  // it already has.
  char block[kBlockSize];
  uint32_t kb = static_cast<uint32_t>(std::min<uint64_t>(start / kBlockSize, request.expectedKB));
  uint64_t received = 0;
  bool cut = false;
  for (;;) {
    size_t filled = 0;
    while (filled < kBlockSize) {
      size_t read = 0;
      if (!http.Read(block + filled, kBlockSize - filled, &read)) {
        writer.Write(block, filled);
        return fail();
      }
      if (read == 0) break;
      filled += read;
    }
    if (kb < request.expectedKB) ++kb;
    if (!writer.Write(block, filled)) return fail();
    received += filled;
    if (kb % kProgressEvery == 0 && request.progress) {
      request.progress->Notify(request.progressMessage,
                               FormatText(L"%luKB/%luKB", static_cast<unsigned long>(kb),
                                          static_cast<unsigned long>(request.expectedKB)));
    }
    if (filled < kBlockSize) break;
    // More than announced: the answer is not the file it claims to be.
    if (hasAnnounced && received > announced) break;
    // Past the cap the rest is not wanted: the file is already too large.
    if (request.maxBytes != 0 && start + received > request.maxBytes) {
      cut = true;
      break;
    }
  }
  if (!writer.Flush()) return fail();
  state.have = start + writer.written();
  // A connection that ended before the announced length is a broken
  // download, not a short file.
  if (hasAnnounced && received < announced && !cut) {
    platform::SetLastError(platform::kErrorInternetConnectionAborted);
    return false;
  }
  if (hasAnnounced && received > announced) {
    return Refuse(&state, partPath, platform::kErrorHttpInvalidServerResponse);
  }
  // The pieces together have the length the first answer gave; a body of
  // unknown length has the size the caller expects.
  if ((append && state.have != state.length) ||
      (!hasAnnounced && !cut && request.expectedKB != 0 && !HasExpectedSize(state.have, request.expectedKB))) {
    return Refuse(&state, partPath, platform::kErrorInternetConnectionAborted);
  }
  if (!state.part.Close()) return false;
  if (state.resumed && state.resumedFileGood && !state.resumedFileGood(partPath)) {
    // The pieces do not make the file: thrown away and fetched once more
    // whole, so that a bad file is judged by itself, not by its pieces.
    ForgetPart(&state, partPath);
    return Attempt(request, partPath, state);
  }
  if (!platform::MoveFileReplacing(partPath, request.localPath)) return false;
  state.validator.clear();
  state.have = 0;
  return true;
}

DownloadRequest XmlFileRequest(const std::wstring& url, const std::wstring& localPath, uint32_t timeoutMs,
                               uint32_t deadlineMs) {
  DownloadRequest request{url, localPath, timeoutMs};
  request.maxBytes = kMaxXmlFileBytes;
  request.deadlineMs = deadlineMs;
  return request;
}

bool HttpDownloader::CheckConnection(const std::wstring& url) {
  platform::HttpRequestOptions options;
  options.userAgent = kUserAgent;
  options.timeoutMs = kDefaultTimeoutMs;
  options.connectRetries = kConnectRetries;
  options.context = 0;
  options.deadlineMs = kXmlDeadlineMs;
  // An answer's head that trickles in holds the probe no longer than a body would.
  SetRateFloor(&options);
  platform::HttpRequest request;
  bool answered = request.Open(url, options);
  uint32_t status = 0;
  if (answered && request.StatusCode(&status) && (status < 200 || status > 299)) LogRefusal(status);
  request.Close();
  return answered;
}
