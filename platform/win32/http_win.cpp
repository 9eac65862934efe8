// HTTP through WinINet: one session per request, the system's pre-configured
// Internet settings (proxy included).
#include "platform/http.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cwchar>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/error.h"

namespace platform {

namespace {

// Closes an Internet handle and keeps the caller's last error intact, so
// that a failure is reported with the code that caused it.
void CloseInternetHandle(HINTERNET* handle) {
  if (!*handle) return;
  DWORD saved = ::GetLastError();
  ::InternetCloseHandle(*handle);
  ::SetLastError(saved);
  *handle = nullptr;
}

bool SetNumberOption(HINTERNET session, DWORD option, DWORD value) {
  return ::InternetSetOptionW(session, option, &value, sizeof(value)) != FALSE;
}

// A header's text, however long: a value cut to a fixed buffer would make a
// check that depends on it silently disappear. For HTTP_QUERY_CUSTOM, text
// holds the header's name on entry.
bool QueryText(HINTERNET request, DWORD info, std::wstring* text) {
  std::vector<wchar_t> buffer(std::max<size_t>(64, text->size() + 1), L'\0');
  std::copy(text->begin(), text->end(), buffer.begin());
  for (;;) {
    DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    DWORD index = 0;
    if (::HttpQueryInfoW(request, info, buffer.data(), &size, &index)) {
      text->assign(buffer.data(), size / sizeof(wchar_t));
      return true;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size / sizeof(wchar_t) < buffer.size()) return false;
    const std::wstring name = *text;
    buffer.assign(size / sizeof(wchar_t) + 1, L'\0');
    std::copy(name.begin(), name.end(), buffer.begin());
  }
}

// A decimal number, blanks around it allowed; false when there are no digits,
// something else follows them, or the number does not fit into 64 bits.
bool ParseNumber(const std::wstring& text, uint64_t* value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  if (i == text.size() || text[i] < L'0' || text[i] > L'9') return false;
  uint64_t n = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - L'0');
    if (n > (UINT64_MAX - digit) / 10) return false;
    n = n * 10 + digit;
  }
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  if (i != text.size()) return false;
  *value = n;
  return true;
}

uint64_t NowMs() { return ::GetTickCount64(); }

constexpr int kMaxRedirects = 10;

bool HasScheme(const std::wstring& url, const wchar_t* scheme) {
  const size_t length = wcslen(scheme);
  return url.size() > length && url[length] == L':' && _wcsnicmp(url.c_str(), scheme, length) == 0;
}

// Where a redirect answer sends the request, as an absolute address; false
// when the answer is no redirect to follow (then it is the final answer).
bool RedirectTarget(HINTERNET request, const std::wstring& base, std::wstring* target) {
  std::wstring text;
  uint64_t status = 0;
  if (!QueryText(request, HTTP_QUERY_STATUS_CODE, &text) || !ParseNumber(text, &status)) return false;
  if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) return false;
  std::wstring location;
  if (!QueryText(request, HTTP_QUERY_LOCATION, &location)) return false;
  std::vector<wchar_t> buffer(base.size() + location.size() + 64, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD size = static_cast<DWORD>(buffer.size());
    if (::InternetCombineUrlW(base.c_str(), location.c_str(), buffer.data(), &size, 0)) {
      target->assign(buffer.data(), size);
      return true;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    buffer.assign(size + 1, L'\0');
  }
  // An address that cannot be made whole is followed nowhere.
  target->clear();
  return true;
}

}  // namespace

// Closes the session when a request's time is up. WinINet's own timeouts
// bound each wait for a piece of the answer, not the whole: a server that
// trickles the answer's head a byte at a time holds InternetOpenUrlW for as
// long as it likes. Closing the session from this thread ends that call, and
// any other blocking call on the request, with an error.
class Watchdog {
 public:
  explicit Watchdog(HINTERNET* session) : session_(session) {}
  ~Watchdog() { Stop(); }

  // (Re)arms the watchdog to fire ms from now; 0 disarms it.
  void Arm(uint64_t ms) {
    std::unique_lock<std::mutex> hold(lock_);
    if (ms == 0) {
      due_ = Clock::time_point::max();
    } else {
      due_ = Clock::now() + std::chrono::milliseconds(ms);
      if (!thread_.joinable()) thread_ = std::thread([this] { Watch(); });
    }
    changed_.notify_all();
  }

  // True once the watchdog has closed the session: the handles are gone.
  bool Fired() {
    std::lock_guard<std::mutex> hold(lock_);
    return fired_;
  }

  // Ends the watch; afterwards the session is the caller's alone.
  void Stop() {
    {
      std::lock_guard<std::mutex> hold(lock_);
      stopped_ = true;
      changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
  }

 private:
  using Clock = std::chrono::steady_clock;

  void Watch() {
    std::unique_lock<std::mutex> hold(lock_);
    while (!stopped_) {
      if (Clock::now() >= due_) {
        fired_ = true;
        CloseInternetHandle(session_);  // also ends the request opened in it
        return;
      }
      if (due_ == Clock::time_point::max()) {
        changed_.wait(hold);
      } else {
        changed_.wait_until(hold, due_);
      }
    }
  }

  HINTERNET* session_;
  std::mutex lock_;
  std::condition_variable changed_;
  Clock::time_point due_ = Clock::time_point::max();
  bool fired_ = false;
  bool stopped_ = false;
  std::thread thread_;
};

struct HttpRequest::Impl {
  HINTERNET session = nullptr;
  HINTERNET request = nullptr;
  Watchdog watchdog{&session};
  uint32_t timeoutMs = 0;
  // The transfer-rate floor (see HttpRequestOptions): the current window's
  // start and the bytes that arrived in it. The answer's head has arrived
  // when the request opens, so the first window starts there.
  uint32_t floorWindowMs = 0;
  uint32_t floorBytes = 0;
  uint64_t windowStart = 0;
  uint64_t windowBytes = 0;

  // The time left (ms) before the floor is missed, counting a window that
  // already holds enough bytes as the start of the next; false when it is missed.
  bool FloorKept(uint64_t* left) {
    *left = UINT64_MAX;
    if (floorWindowMs == 0) return true;
    const uint64_t now = NowMs();
    if (now - windowStart >= floorWindowMs) {
      if (windowBytes < floorBytes) return false;
      windowStart = now;
      windowBytes = 0;
    }
    *left = windowStart + floorWindowMs - now;
    if (windowBytes >= floorBytes) *left += floorWindowMs;
    return true;
  }

  // After a failed call: when the watchdog closed the handles, the
  // failure is the deadline's, and the handles must not be touched again.
  bool Expired() {
    const DWORD error = ::GetLastError();  // the lock below may change it
    if (!watchdog.Fired()) {
      ::SetLastError(error);
      return false;
    }
    request = nullptr;
    ::SetLastError(ERROR_INTERNET_TIMEOUT);
    return true;
  }

  // Keeps the caller's last error: a failed request is reported with the
  // code that made it fail, after the request is gone.
  ~Impl() {
    const DWORD error = ::GetLastError();
    watchdog.Stop();
    if (!watchdog.Fired()) {  // else closed already, with the session
      CloseInternetHandle(&request);
      CloseInternetHandle(&session);
    }
    ::SetLastError(error);
  }
};

HttpRequest::HttpRequest() = default;
HttpRequest::~HttpRequest() { Close(); }

bool HttpRequest::Open(const std::wstring& url, const HttpRequestOptions& options) {
  Close();
  auto impl = std::make_unique<Impl>();
  // A proxy named for the run is used in place of the system's proxy settings.
  const std::wstring proxy = HttpProxy();
  impl->session = ::InternetOpenW(options.userAgent.c_str(),
                                  proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
                                  proxy.empty() ? nullptr : proxy.c_str(), nullptr, INTERNET_FLAG_DONT_CACHE);
  if (!impl->session) return false;
  if (!SetNumberOption(impl->session, INTERNET_OPTION_CONNECT_TIMEOUT, options.timeoutMs) ||
      !SetNumberOption(impl->session, INTERNET_OPTION_CONNECT_RETRIES, options.connectRetries) ||
      !SetNumberOption(impl->session, INTERNET_OPTION_RECEIVE_TIMEOUT, options.timeoutMs) ||
      !SetNumberOption(impl->session, INTERNET_OPTION_DATA_SEND_TIMEOUT, options.timeoutMs) ||
      !SetNumberOption(impl->session, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, options.timeoutMs)) {
    return false;
  }
  // From the origin, never from the user's cache, which any process of
  // the user can write to, and nothing written there.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
  // Nothing asks the user: a certificate error fails the request. No
  // SECURITY_FLAG_IGNORE_* is ever set.
  flags |= INTERNET_FLAG_NO_UI;
  // Redirects are followed here rather than by WinINet, so that one from
  // https:// to http:// is refused before the plain address is asked
  // anything, whatever the system's Internet settings and dialogs would do
  // (Wine 8's WinINet follows such a redirect without a word).
  flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (options.binaryTransfer) flags |= INTERNET_FLAG_TRANSFER_BINARY;
  // Without a deadline, the answer's head still has to come within the
  // connect attempts and one window of the rate floor: it is far smaller
  // than what the floor asks for in a window.
  uint64_t openLimit = options.deadlineMs;
  if (openLimit == 0 && options.floorWindowMs != 0) {
    openLimit = uint64_t{options.timeoutMs} * std::max<uint32_t>(options.connectRetries, 1) + options.floorWindowMs;
  }
  impl->watchdog.Arm(openLimit);
  const wchar_t* headers = options.headers.empty() ? nullptr : options.headers.c_str();
  std::wstring address = url;
  for (int redirects = 0;; ++redirects) {
    const DWORD secure = HasScheme(address, L"https") ? INTERNET_FLAG_SECURE : 0;
    impl->request = ::InternetOpenUrlW(impl->session, address.c_str(), headers,
                                       static_cast<DWORD>(options.headers.size()), flags | secure, options.context);
    if (!impl->request) {
      impl->Expired();
      return false;
    }
    std::wstring next;
    if (!RedirectTarget(impl->request, address, &next)) break;
    if (impl->Expired()) return false;
    if (secure && HasScheme(next, L"http")) {
      ::SetLastError(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
      return false;
    }
    if (redirects == kMaxRedirects || !(HasScheme(next, L"http") || HasScheme(next, L"https"))) {
      ::SetLastError(ERROR_HTTP_REDIRECT_FAILED);
      return false;
    }
    CloseInternetHandle(&impl->request);
    address = next;
  }
  // A request without a deadline keeps only the floor once the head is in.
  if (options.deadlineMs == 0) impl->watchdog.Arm(0);
  impl->timeoutMs = options.timeoutMs;
  impl->floorWindowMs = options.floorWindowMs;
  impl->floorBytes = options.floorBytes;
  impl->windowStart = NowMs();
  impl_ = std::move(impl);
  return true;
}

bool HttpRequest::StatusCode(uint32_t* status) const {
  if (!impl_) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (impl_->Expired()) return false;
  std::wstring text;
  uint64_t value = 0;
  if (!QueryText(impl_->request, HTTP_QUERY_STATUS_CODE, &text)) return false;
  if (!ParseNumber(text, &value) || value > 999) {
    ::SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    return false;
  }
  *status = static_cast<uint32_t>(value);
  return true;
}

bool HttpRequest::ContentLength(uint64_t* length) const {
  if (!impl_) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (impl_->Expired()) return false;
  std::wstring text;
  if (!QueryText(impl_->request, HTTP_QUERY_CONTENT_LENGTH, &text)) {
    if (::GetLastError() != ERROR_HTTP_HEADER_NOT_FOUND) ::SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    return false;
  }
  if (!ParseNumber(text, length)) {
    ::SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    return false;
  }
  return true;
}

bool HttpRequest::Header(const std::wstring& name, std::wstring* value) const {
  if (!impl_) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (impl_->Expired()) return false;
  *value = name;
  if (QueryText(impl_->request, HTTP_QUERY_CUSTOM, value)) return true;
  value->clear();
  return false;
}

bool HttpRequest::Read(void* buffer, size_t size, size_t* read) {
  *read = 0;
  if (!impl_) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  Impl& impl = *impl_;
  if (impl.Expired()) return false;
  DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  uint64_t left = 0;
  if (!impl.FloorKept(&left)) {
    ::SetLastError(ERROR_INTERNET_TIMEOUT);
    return false;
  }
  if (impl.floorWindowMs != 0 && want > 0) {
    // A read waits for its whole buffer; asking first what has arrived lets
    // a trickle come back piece by piece, so that the floor is checked, and
    // the wait for the next piece ends where the floor would be missed.
    SetNumberOption(impl.request, INTERNET_OPTION_RECEIVE_TIMEOUT,
                    static_cast<DWORD>(std::max<uint64_t>(1, std::min<uint64_t>(left, impl.timeoutMs))));
    DWORD available = 0;
    const bool answered = ::InternetQueryDataAvailable(impl.request, &available, 0, 0) != FALSE;
    if (!impl.FloorKept(&left)) {
      ::SetLastError(ERROR_INTERNET_TIMEOUT);
      return false;
    }
    if (!answered) {
      impl.Expired();
      return false;
    }
    if (available > 0) want = std::min(want, available);
  }
  DWORD got = 0;
  if (!::InternetReadFile(impl.request, buffer, want, &got)) {
    impl.Expired();
    return false;
  }
  impl.windowBytes += got;
  *read = got;
  return true;
}

void HttpRequest::Close() { impl_.reset(); }

}  // namespace platform
