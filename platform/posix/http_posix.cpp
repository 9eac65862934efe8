// HTTP through libcurl. libcurl pushes the body into a callback; the launcher
// pulls it piece by piece, so the transfer runs on a multi handle that is
// driven only while the reader wants bytes, and is paused while a small
// buffer is full. libcurl honours http_proxy, https_proxy and no_proxy: the
// Linux counterpart of the system's pre-configured Internet settings.
// Certificates are checked against the simulated machine's trusted roots
// (roots.pem in the machine folder), or the host's when it has none.
#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/http.h"
#include "platform/posix/curl_support.h"
#include "platform/posix/machine.h"
#include "platform/utf.h"

namespace platform {

namespace {

using posix::CertificateError;
using posix::MapCurlError;
using posix::StartsWithNoCase;

// Enough to keep the socket busy while the reader drains in small pieces.
constexpr size_t kBufferHighWater = 256 * 1024;
constexpr long kTransportBuffer = 256 * 1024;

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

}  // namespace

struct HttpRequest::Impl {
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  curl_slist* headers = nullptr;
  std::string url;
  std::string agent;
  uint32_t timeoutMs = 0;
  HttpTransferWatch* watch = nullptr;
  // The watch ended the request: no further connect attempt.
  bool watchEnded = false;

  // Transfer state, reset for every connect attempt.
  bool attached = false;
  bool connected = false;
  bool headersDone = false;
  bool finished = false;
  CURLcode result = CURLE_OK;
  bool paused = false;
  uint64_t lastActivity = 0;

  // The response head being read, and the final one.
  bool blockHasLength = false;
  bool blockBadLength = false;
  bool blockChunked = false;
  uint64_t blockLength = 0;
  std::vector<std::string> blockHeaders;
  uint32_t status = 0;
  bool hasLength = false;
  bool badLength = false;
  uint64_t length = 0;
  std::vector<std::string> headerLines;

  std::string buffer;
  size_t bufferPos = 0;
  // While a read waits with nothing buffered, the transport hands the body
  // straight into the reader's memory: a large download is copied once less.
  char* direct = nullptr;
  size_t directRoom = 0;
  size_t directGot = 0;

  ~Impl() { Release(); }

  void Release() {
    if (easy && multi && attached) curl_multi_remove_handle(multi, easy);
    attached = false;
    if (easy) curl_easy_cleanup(easy);
    if (multi) curl_multi_cleanup(multi);
    if (headers) curl_slist_free_all(headers);
    easy = nullptr;
    multi = nullptr;
    headers = nullptr;
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    Impl* self = static_cast<Impl*>(user);
    size_t bytes = size * count;
    self->lastActivity = NowMs();
    if (StartsWithNoCase(data, bytes, "http/")) {
      self->blockHasLength = false;
      self->blockBadLength = false;
      self->blockChunked = false;
      self->blockLength = 0;
      self->blockHeaders.clear();
      return bytes;
    }
    if (bytes > 2) self->blockHeaders.emplace_back(data, bytes);
    if (StartsWithNoCase(data, bytes, "content-length:")) {
      self->blockHasLength = posix::ParseLength(std::string(data + 15, bytes - 15), &self->blockLength);
      self->blockBadLength = !self->blockHasLength;
    } else if (StartsWithNoCase(data, bytes, "transfer-encoding:")) {
      std::string value(data + 18, bytes - 18);
      for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (value.find("chunked") != std::string::npos) self->blockChunked = true;
    } else if ((bytes == 2 && data[0] == '\r' && data[1] == '\n') || (bytes == 1 && data[0] == '\n')) {
      // The end of one response head: the final one unless it is an
      // interim answer.
      long code = 0;
      curl_easy_getinfo(self->easy, CURLINFO_RESPONSE_CODE, &code);
      if (code >= 100 && code < 200) return bytes;
      self->headersDone = true;
      self->status = static_cast<uint32_t>(code);
      self->hasLength = self->blockHasLength && !self->blockChunked;
      self->badLength = self->blockBadLength && !self->blockChunked;
      self->length = self->blockLength;
      self->headerLines = std::move(self->blockHeaders);
      self->blockHeaders.clear();
    }
    return bytes;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* user) {
    Impl* self = static_cast<Impl*>(user);
    const size_t total = size * count;
    size_t bytes = total;
    self->headersDone = true;
    if (self->bufferPos == self->buffer.size()) {
      self->buffer.clear();
      self->bufferPos = 0;
      if (self->direct) {
        const size_t n = std::min(bytes, self->directRoom - self->directGot);
        std::memcpy(self->direct + self->directGot, data, n);
        self->directGot += n;
        self->Arrived(n);
        data += n;
        bytes -= n;
        // The rest goes into the empty buffer below, which never pauses:
        // a pause would hand the bytes taken here over once more.
        if (bytes == 0) return total;
        self->buffer.append(data, bytes);
        self->Arrived(bytes);
        return total;
      }
    }
    if (self->buffer.size() - self->bufferPos >= kBufferHighWater) {
      // The reader is behind; libcurl hands the same bytes again after the pause.
      self->paused = true;
      return CURL_WRITEFUNC_PAUSE;
    }
    if (self->bufferPos > 0 && self->buffer.size() + bytes > self->buffer.capacity()) {
      self->buffer.erase(0, self->bufferPos);
      self->bufferPos = 0;
    }
    self->buffer.append(data, bytes);
    self->Arrived(bytes);
    return bytes;
  }

  void Arrived(size_t bytes) {
    lastActivity = NowMs();
    if (watch) watch->BodyArrived(bytes);
  }

  static int OnConnected(void* user, char*, char*, int, int) {
    Impl* self = static_cast<Impl*>(user);
    self->connected = true;
    self->lastActivity = NowMs();
    return CURL_PREREQFUNC_OK;
  }

  bool Setup(const HttpRequestOptions& options) {
    easy = curl_easy_init();
    multi = curl_multi_init();
    if (!easy || !multi) {
      SetLastError(kErrorNotEnoughMemory);
      return false;
    }
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    const std::string roots = posix::MachineFile("roots.pem");
    if (!roots.empty() && access(roots.c_str(), F_OK) == 0) {
      // The machine's roots and no others: not the host's folder as well.
      curl_easy_setopt(easy, CURLOPT_CAINFO, roots.c_str());
      curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    }
    // A redirect is the answer: whether it is followed is the caller's rule.
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // The run's proxy replaces the one the environment names.
    const std::string proxy = WideToUtf8(HttpProxy());
    if (!proxy.empty()) curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(timeoutMs));
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kTransportBuffer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Impl::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Impl::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Impl::OnConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
    // Fetch from the origin: caches on the way are asked for a fresh answer.
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    const std::string extra = WideToUtf8(options.headers);
    for (size_t start = 0; start < extra.size();) {
      size_t end = extra.find("\r\n", start);
      if (end == std::string::npos) end = extra.size();
      if (end > start) headers = curl_slist_append(headers, extra.substr(start, end - start).c_str());
      start = end + 2;
    }
    if (headers) curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    return true;
  }

  bool Attach() {
    connected = false;
    headersDone = false;
    finished = false;
    result = CURLE_OK;
    paused = false;
    status = 0;
    hasLength = false;
    badLength = false;
    headerLines.clear();
    buffer.clear();
    bufferPos = 0;
    lastActivity = NowMs();
    if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
      SetLastError(kErrorInternetInternalError);
      return false;
    }
    attached = true;
    return true;
  }

  void Detach() {
    if (attached) curl_multi_remove_handle(multi, easy);
    attached = false;
  }

  // Drives the transfer once, waiting at most until the receive timeout.
  // False (with the last error) when the transfer failed or timed out.
  bool Pump() {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      SetLastError(kErrorInternetInternalError);
      return false;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
        finished = true;
        result = message->data.result;
      }
    }
    if (finished) return true;
    const uint64_t limit = watch ? watch->WaitLimitMs() : UINT64_MAX;
    if (limit == 0) {
      watchEnded = true;
      return TimedOut();
    }
    if (paused || bufferPos < buffer.size()) return true;
    // Once connected, the receive timeout applies to every wait for the
    // server; before that, the transport's connect timeout governs.
    uint64_t waitMs = std::min<uint64_t>(limit, 1000);
    if (connected) {
      uint64_t idle = NowMs() - lastActivity;
      if (idle >= timeoutMs) return TimedOut();
      waitMs = std::min<uint64_t>(timeoutMs - idle, waitMs);
    }
    if (curl_multi_poll(multi, nullptr, 0, static_cast<int>(waitMs), nullptr) != CURLM_OK) {
      SetLastError(kErrorInternetInternalError);
      return false;
    }
    return true;
  }

  bool TimedOut() {
    result = CURLE_OPERATION_TIMEDOUT;
    SetLastError(kErrorInternetTimeout);
    return false;
  }

  void Resume() {
    if (!paused) return;
    paused = false;
    // May hand the held bytes to OnBody at once, which may pause again.
    curl_easy_pause(easy, CURLPAUSE_CONT);
  }
};

HttpRequest::HttpRequest() = default;
HttpRequest::~HttpRequest() { Close(); }

bool HttpRequest::Open(const std::wstring& url, const HttpRequestOptions& options) {
  Close();
  if (!posix::CurlGlobalInit()) {
    SetLastError(kErrorInternetInternalError);
    return false;
  }
  auto impl = std::make_unique<Impl>();
  impl->url = WideToUtf8(url);
  impl->agent = WideToUtf8(options.userAgent);
  impl->timeoutMs = options.timeoutMs;
  impl->watch = options.watch;
  if (!impl->Setup(options)) return false;

  uint32_t attempts = std::max<uint32_t>(options.connectRetries, 1);
  for (uint32_t attempt = 0; attempt < attempts; ++attempt) {
    if (!impl->Attach()) return false;
    bool ok = true;
    while (!impl->headersDone && !impl->finished) {
      if (!impl->Pump()) {
        ok = false;
        break;
      }
    }
    if (ok && impl->headersDone) {
      impl_ = std::move(impl);
      return true;
    }
    if (ok && impl->finished && impl->result == CURLE_OK) {
      // Finished without a head that ended the usual way: take what the
      // transport reports.
      long code = 0;
      curl_easy_getinfo(impl->easy, CURLINFO_RESPONSE_CODE, &code);
      impl->status = static_cast<uint32_t>(code);
      impl->headersDone = true;
      impl_ = std::move(impl);
      return true;
    }
    long proxyCode = 0;
    curl_easy_getinfo(impl->easy, CURLINFO_HTTP_CONNECTCODE, &proxyCode);
    if (proxyCode >= 300) {
      // The proxy refused the tunnel (407: it asks for a login): its answer
      // is the answer, as the system's Internet layer reports it.
      impl->status = static_cast<uint32_t>(proxyCode);
      impl->headersDone = true;
      impl->headerLines.clear();
      impl_ = std::move(impl);
      return true;
    }
    CURLcode result = impl->result;
    if (result == CURLE_PEER_FAILED_VERIFICATION) {
      const uint32_t error = CertificateError(impl->easy);
      impl->Detach();
      SetLastError(error);
      return false;
    }
    bool connectFailed = !impl->connected &&
                         (result == CURLE_COULDNT_CONNECT || result == CURLE_OPERATION_TIMEDOUT);
    impl->Detach();
    SetLastError(MapCurlError(result == CURLE_OK ? CURLE_OPERATION_TIMEDOUT : result));
    if (!connectFailed || impl->watchEnded) return false;
  }
  return false;
}

bool HttpRequest::StatusCode(uint32_t* status) const {
  if (!impl_ || !impl_->headersDone) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  *status = impl_->status;
  return true;
}

bool HttpRequest::Location(std::wstring* target) const {
  std::wstring value;
  if (!Header(L"Location", &value)) return false;
  // libcurl names the address only once the transfer is done, and the body
  // of a redirect is never read.
  *target = Utf8ToWide(posix::ResolveUrl(impl_->url, WideToUtf8(value)));
  return true;
}

bool HttpRequest::ContentLength(uint64_t* length) const {
  if (impl_ && impl_->badLength) {
    SetLastError(kErrorHttpInvalidServerResponse);
    return false;
  }
  if (!impl_ || !impl_->hasLength) {
    SetLastError(kErrorHttpHeaderNotFound);
    return false;
  }
  *length = impl_->length;
  return true;
}

bool HttpRequest::Header(const std::wstring& name, std::wstring* value) const {
  const std::string prefix = WideToUtf8(name) + ":";
  std::string lower = prefix;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (impl_) {
    for (const std::string& line : impl_->headerLines) {
      if (!StartsWithNoCase(line.data(), line.size(), lower.c_str())) continue;
      size_t start = line.find_first_not_of(" \t", prefix.size());
      size_t end = line.find_last_not_of(" \t\r\n");
      *value = start == std::string::npos || end < start ? std::wstring()
                                                         : Utf8ToWide(line.substr(start, end - start + 1));
      return true;
    }
  }
  SetLastError(kErrorHttpHeaderNotFound);
  return false;
}

bool HttpRequest::Read(void* buffer, size_t size, size_t* read) {
  *read = 0;
  if (!impl_) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  Impl& impl = *impl_;
  for (;;) {
    size_t available = impl.buffer.size() - impl.bufferPos;
    if (available > 0) {
      size_t n = std::min(available, size);
      std::memcpy(buffer, impl.buffer.data() + impl.bufferPos, n);
      impl.bufferPos += n;
      *read = n;
      return true;
    }
    if (impl.paused) {
      impl.Resume();
      continue;
    }
    if (impl.finished) {
      if (impl.result != CURLE_OK) {
        SetLastError(MapCurlError(impl.result));
        return false;
      }
      return true;
    }
    if (size == 0) return true;
    impl.direct = static_cast<char*>(buffer);
    impl.directRoom = size;
    impl.directGot = 0;
    const bool pumped = impl.Pump();
    impl.direct = nullptr;
    if (impl.directGot > 0) {
      // A failure that came with these bytes is met again by the next read.
      *read = impl.directGot;
      return true;
    }
    if (!pumped) return false;
  }
}

void HttpRequest::Close() { impl_.reset(); }

}  // namespace platform
