#include "net/http_downloader.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "base/debug_log.h"
#include "base/text.h"
#include "config/xml_config_reader.h"
#include "net/transfer_rules.h"
#include "platform/error.h"
#include "platform/file_security.h"
#include "platform/files.h"
#include "platform/http.h"

const wchar_t HttpDownloader::kUserAgent[] = L"KOTA Install Launcher";
const wchar_t kDownloadPartSuffix[] = L".part";

namespace {

// The body is received into pieces of this size and written piece by piece:
// a large package would otherwise cost one system call per kilobyte, and a
// copy of every byte more.
constexpr size_t kPieceSize = 256 * 1024;

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

// Why a request to an https:// server was refused goes into the log in
// words: the outcome line of the caller carries only the code.
void LogSecureFailure() {
  const uint32_t error = platform::LastError();
  const wchar_t* why = nullptr;
  switch (error) {
    case platform::kErrorInternetInvalidCa: why = L"サーバー証明書が信頼されていないため、通信を中止しました。"; break;
    case platform::kErrorInternetSecCertCnInvalid: why = L"サーバー証明書の名前が接続先と一致しないため、通信を中止しました。"; break;
    case platform::kErrorInternetSecCertDateInvalid: why = L"サーバー証明書の有効期間外のため、通信を中止しました。"; break;
    case platform::kErrorInternetSecCertRevFailed:  // also a chain whose issuer is nowhere to be found
    case platform::kErrorInternetSecInvalidCert: why = L"サーバー証明書が無効なため、通信を中止しました。"; break;
    case platform::kErrorInternetSecurityChannelError:
    case platform::kErrorInternetSecureFailure: why = L"サーバーとの暗号化通信を確立できませんでした。"; break;
    case platform::kErrorInternetHttpsToHttpOnRedir: why = L"httpsからhttpへの転送を拒否しました。"; break;
    default: return;
  }
  Log().Error(why);
  platform::SetLastError(error);
}

// Fails the attempt with error, and what the side file held goes: the next
// attempt starts from zero.
bool Refuse(DownloadResume* state, const std::wstring& partPath, uint32_t error) {
  platform::SetLastError(error);
  ForgetPart(state, partPath);
  return false;
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
                                platform::HttpRequest* http, TransferRules* rules, uint32_t* status) {
  platform::HttpRequestOptions options;
  options.userAgent = kUserAgent;
  options.timeoutMs = request.timeoutMs == 0 ? kDefaultTimeoutMs : request.timeoutMs;
  options.binaryTransfer = true;
  options.context = 1;
  if (from) {
    // The rest only if the file is still the one whose start is kept.
    options.headers = L"Range: bytes=" + std::to_wstring(from->have) + L"-\r\nIf-Range: " + from->validator + L"\r\n";
  }
  if (!rules->Open(*http, request.url, options)) {
    LogSecureFailure();
    return false;
  }
  if (!http->StatusCode(status)) return false;
  if (*status >= 200 && *status <= 299) return true;
  // Any other answer leaves the files as they were.
  LogRefusal(*status);
  return false;
}

bool HttpDownloader::Attempt(const DownloadRequest& request, const std::wstring& partPath, DownloadResume& state) {
  platform::HttpRequest http;
  TransferRules rules(request.timeoutMs == 0 ? kDefaultTimeoutMs : request.timeoutMs, request.deadlineMs);
  uint32_t status = 0;
  // Only the rest of a file whose length and validator are known can be
  // asked for and checked.
  const bool resuming = state.part.IsOpen() && state.have > 0 && state.have < state.length && !state.validator.empty();
  if (!OpenAnswer(request, resuming ? &state : nullptr, &http, &rules, &status)) {
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
  // Counts the 1 KB blocks (kb never passes expectedKB) and sends the
  // progress text at every hundredth; a resumed download counts on from the
  // blocks it already has.
  uint32_t kb = static_cast<uint32_t>(std::min<uint64_t>(start / kBlockSize, request.expectedKB));
  auto countBlock = [&]() {
    if (kb < request.expectedKB) ++kb;
    if (kb % kProgressEvery == 0 && request.progress) {
      request.progress->Notify(request.progressMessage,
                               FormatText(L"%luKB/%luKB", static_cast<unsigned long>(kb),
                                          static_cast<unsigned long>(request.expectedKB)));
    }
  };
  std::unique_ptr<char[]> piece(new char[kPieceSize]);
  uint64_t received = 0;  // of this answer's body, on disk
  // Writes what a piece holds; what arrived is on disk before the attempt
  // ends, also when it fails, so that the next one can go on from there.
  auto write = [&](size_t size) {
    if (size == 0) return true;
    if (!state.part.Write(piece.get(), size)) {
      state.validator.clear();  // what the side file holds is unknown
      return false;
    }
    received += size;
    state.have = start + received;
    return true;
  };
  // Keeps the error that made the attempt fail.
  auto fail = [&](size_t pending) {
    const uint32_t error = platform::LastError();
    write(pending);
    platform::SetLastError(error);
    return false;
  };

  // A network read may return fewer bytes than asked long before the body
  // ends; only a read of nothing ends it. Every full block counts as it
  // arrives, and the last one, short or empty, at the end.
  bool cut = false;
  bool ended = false;
  while (!ended && !cut) {
    size_t filled = 0;
    while (filled < kPieceSize) {
      size_t read = 0;
      if (!http.Read(piece.get() + filled, kPieceSize - filled, &read)) return fail(filled);
      if (read == 0) {
        ended = true;
        break;
      }
      for (uint64_t at = received + filled, end = at + read; at / kBlockSize < end / kBlockSize;
           at = (at / kBlockSize + 1) * kBlockSize) {
        countBlock();
      }
      filled += read;
      const uint64_t total = received + filled;
      // More than announced: the answer is not the file it claims to be.
      // Past the cap the rest is not wanted: the file is already too large.
      if ((hasAnnounced && total > announced) || (request.maxBytes != 0 && start + total > request.maxBytes)) {
        cut = !(hasAnnounced && total > announced);
        ended = !cut;
        break;
      }
    }
    if (!write(filled)) return fail(0);
  }
  if (ended) countBlock();
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
  if (request.hold && !state.resumed) {
    if (!request.hold->HoldWritten(&state.part, partPath, request.localPath)) return false;
    state.validator.clear();
    state.have = 0;
    return true;
  }
  if (!state.part.Close()) return false;
  if (state.resumed && state.resumedFileGood && !state.resumedFileGood(partPath)) {
    // The pieces do not make the file: thrown away and fetched once more
    // whole, so that a bad file is judged by itself, not by its pieces.
    ForgetPart(&state, partPath);
    return Attempt(request, partPath, state);
  }
  if (!platform::MoveFileReplacing(partPath, request.localPath)) return false;
  // Pieces are checked by name before they replace an earlier copy, so this
  // hold is taken by name; what the caller checks, it reads through it.
  if (request.hold && !request.hold->Open(request.localPath)) return false;
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
  options.context = 0;
  TransferRules rules(kDefaultTimeoutMs, kXmlDeadlineMs);
  platform::HttpRequest request;
  bool answered = rules.Open(request, url, options);
  if (!answered) LogSecureFailure();
  uint32_t status = 0;
  if (answered && request.StatusCode(&status) && (status < 200 || status > 299)) LogRefusal(status);
  request.Close();
  return answered;
}
