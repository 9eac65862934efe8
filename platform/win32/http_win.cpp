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
#include "platform/win32/owned_win.h"

namespace platform {

namespace {

// A session or a request. Closing a session also closes what was opened in it.
struct InternetTraits : win32::NullIsEmpty<HINTERNET> {
  static void Free(Value handle) { ::InternetCloseHandle(handle); }
};
using UniqueInternet = win32::Owned<InternetTraits>;

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

// Where the answer's Location sends the request, as an absolute address
// (empty when it cannot be made whole); false when it names none.
bool LocationTarget(HINTERNET request, const std::wstring& base, std::wstring* target) {
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
  explicit Watchdog(UniqueInternet* session) : session_(session) {}
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

  // True once the watchdog has closed the session: the request went with it.
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
        session_->Reset();  // also ends the request opened in it
        return;
      }
      if (due_ == Clock::time_point::max()) {
        changed_.wait(hold);
      } else {
        changed_.wait_until(hold, due_);
      }
    }
  }

  // Closed here under the lock, or by its owner once the watch has stopped.
  UniqueInternet* session_;
  std::mutex lock_;
  std::condition_variable changed_;
  Clock::time_point due_ = Clock::time_point::max();
  bool fired_ = false;
  bool stopped_ = false;
  std::thread thread_;
};

struct HttpRequest::Impl {
  // The request is declared after the session, so that it closes first.
  UniqueInternet session;
  UniqueInternet request;
  Watchdog watchdog{&session};
  std::wstring url;
  HttpTransferWatch* watch = nullptr;
  // When the watchdog is due (GetTickCount64), UINT64_MAX: disarmed.
  uint64_t due = UINT64_MAX;

  // Arms the watchdog where the transfer rules end the next wait; false
  // (timed out) when their time is already up.
  bool ArmForWait() {
    const uint64_t left = watch ? watch->WaitLimitMs() : UINT64_MAX;
    if (left == 0) {
      ::SetLastError(ERROR_INTERNET_TIMEOUT);
      return false;
    }
    const uint64_t now = ::GetTickCount64();
    const uint64_t next = left == UINT64_MAX ? UINT64_MAX : now + left;
    if (next != due) watchdog.Arm(left == UINT64_MAX ? 0 : left);
    due = next;
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
    request.Release();  // closed with the session
    ::SetLastError(ERROR_INTERNET_TIMEOUT);
    return true;
  }

  // Keeps the caller's last error: a failed request is reported with the
  // code that made it fail, after the request is gone.
  ~Impl() {
    const DWORD error = ::GetLastError();
    watchdog.Stop();
    if (watchdog.Fired()) request.Release();  // closed already, with the session
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
  impl->session.Reset(::InternetOpenW(options.userAgent.c_str(),
                                      proxy.empty() ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_PROXY,
                                      proxy.empty() ? nullptr : proxy.c_str(), nullptr, INTERNET_FLAG_DONT_CACHE));
  // Taken while no watchdog runs: once armed, it may close the session at any moment.
  HINTERNET session = impl->session.get();
  if (!session) return false;
  if (!SetNumberOption(session, INTERNET_OPTION_CONNECT_TIMEOUT, options.timeoutMs) ||
      !SetNumberOption(session, INTERNET_OPTION_CONNECT_RETRIES, options.connectRetries) ||
      !SetNumberOption(session, INTERNET_OPTION_RECEIVE_TIMEOUT, options.timeoutMs) ||
      !SetNumberOption(session, INTERNET_OPTION_DATA_SEND_TIMEOUT, options.timeoutMs) ||
      !SetNumberOption(session, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, options.timeoutMs)) {
    return false;
  }
  // From the origin, never from the user's cache, which any process of
  // the user can write to, and nothing written there.
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
  // Nothing asks the user: a certificate error fails the request. No
  // SECURITY_FLAG_IGNORE_* is ever set.
  flags |= INTERNET_FLAG_NO_UI;
  // A redirect is the answer, whatever the system's Internet settings and
  // dialogs would do with it (Wine 8's WinINet follows one from https:// to
  // http:// without a word): whether it is followed is the caller's rule.
  flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
  if (options.binaryTransfer) flags |= INTERNET_FLAG_TRANSFER_BINARY;
  if (UrlHasScheme(url, L"https")) flags |= INTERNET_FLAG_SECURE;
  impl->url = url;
  impl->watch = options.watch;
  // A server that trickles the answer's head holds InternetOpenUrlW for as
  // long as it likes: only the watchdog ends that wait.
  if (!impl->ArmForWait()) return false;
  impl->request.Reset(::InternetOpenUrlW(session, url.c_str(),
                                         options.headers.empty() ? nullptr : options.headers.c_str(),
                                         static_cast<DWORD>(options.headers.size()), flags, options.context));
  if (!impl->request) {
    impl->Expired();
    return false;
  }
  if (impl->Expired()) return false;
  // Wine does not hand the session's receive timeout down to a request
  // opened by address: each wait for the body keeps to it all the same.
  SetNumberOption(impl->request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, options.timeoutMs);
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
  if (!QueryText(impl_->request.get(), HTTP_QUERY_STATUS_CODE, &text)) return false;
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
  if (!QueryText(impl_->request.get(), HTTP_QUERY_CONTENT_LENGTH, &text)) {
    if (::GetLastError() != ERROR_HTTP_HEADER_NOT_FOUND) ::SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    return false;
  }
  if (!ParseNumber(text, length)) {
    ::SetLastError(ERROR_HTTP_INVALID_SERVER_RESPONSE);
    return false;
  }
  return true;
}

bool HttpRequest::Location(std::wstring* target) const {
  if (!impl_) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (impl_->Expired()) return false;
  return LocationTarget(impl_->request.get(), impl_->url, target);
}

bool HttpRequest::Header(const std::wstring& name, std::wstring* value) const {
  if (!impl_) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (impl_->Expired()) return false;
  *value = name;
  if (QueryText(impl_->request.get(), HTTP_QUERY_CUSTOM, value)) return true;
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
  if (!impl.ArmForWait()) return false;
  if (impl.watch && want > 0) {
    // A read waits for its whole buffer; asking first what has arrived lets
    // a trickle come back piece by piece, so that the transfer rules see
    // each piece as it comes.
    DWORD available = 0;
    if (!::InternetQueryDataAvailable(impl.request.get(), &available, 0, 0)) {
      impl.Expired();
      return false;
    }
    if (!impl.ArmForWait()) return false;
    if (available > 0) want = std::min(want, available);
  }
  DWORD got = 0;
  if (!::InternetReadFile(impl.request.get(), buffer, want, &got)) {
    impl.Expired();
    return false;
  }
  if (impl.watch) impl.watch->BodyArrived(got);
  *read = got;
  return true;
}

void HttpRequest::Close() { impl_.reset(); }

}  // namespace platform
