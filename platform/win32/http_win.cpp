// HTTP through WinINet: one session per request, the system's pre-configured
// Internet settings (proxy included).
#include "platform/http.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>

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

bool QueryText(HINTERNET request, DWORD info, std::wstring* text) {
  wchar_t buffer[64];
  DWORD size = sizeof(buffer);
  DWORD index = 0;
  if (!::HttpQueryInfoW(request, info, buffer, &size, &index)) return false;
  text->assign(buffer, size / sizeof(wchar_t));
  return true;
}

bool ParseNumber(const std::wstring& text, uint64_t* value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  if (i == text.size() || text[i] < L'0' || text[i] > L'9') return false;
  uint64_t n = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    n = n * 10 + static_cast<uint64_t>(text[i] - L'0');
  }
  *value = n;
  return true;
}

}  // namespace

struct HttpRequest::Impl {
  HINTERNET session = nullptr;
  HINTERNET request = nullptr;
  ~Impl() {
    CloseInternetHandle(&request);
    CloseInternetHandle(&session);
  }
};

HttpRequest::HttpRequest() = default;
HttpRequest::~HttpRequest() { Close(); }

bool HttpRequest::Open(const std::wstring& url, const HttpRequestOptions& options) {
  Close();
  auto impl = std::make_unique<Impl>();
  impl->session = ::InternetOpenW(options.userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                  options.dontCache ? INTERNET_FLAG_DONT_CACHE : 0);
  if (!impl->session) return false;
  if (!SetNumberOption(impl->session, INTERNET_OPTION_CONNECT_TIMEOUT, options.timeoutMs) ||
      !SetNumberOption(impl->session, INTERNET_OPTION_CONNECT_RETRIES, options.connectRetries) ||
      !SetNumberOption(impl->session, INTERNET_OPTION_RECEIVE_TIMEOUT, options.timeoutMs) ||
      !SetNumberOption(impl->session, INTERNET_OPTION_DATA_SEND_TIMEOUT, options.timeoutMs) ||
      !SetNumberOption(impl->session, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, options.timeoutMs)) {
    return false;
  }
  DWORD flags = 0;
  if (options.binaryTransfer) flags |= INTERNET_FLAG_TRANSFER_BINARY;
  if (options.reload) flags |= INTERNET_FLAG_RELOAD;
  impl->request = ::InternetOpenUrlW(impl->session, url.c_str(), nullptr, 0, flags, options.context);
  if (!impl->request) return false;
  impl_ = std::move(impl);
  return true;
}

bool HttpRequest::StatusCode(uint32_t* status) const {
  if (!impl_) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
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
  std::wstring text;
  if (!QueryText(impl_->request, HTTP_QUERY_CONTENT_LENGTH, &text)) return false;
  if (!ParseNumber(text, length)) {
    ::SetLastError(ERROR_HTTP_HEADER_NOT_FOUND);
    return false;
  }
  return true;
}

bool HttpRequest::Read(void* buffer, size_t size, size_t* read) {
  *read = 0;
  if (!impl_) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  DWORD got = 0;
  if (!::InternetReadFile(impl_->request, buffer, want, &got)) return false;
  *read = got;
  return true;
}

void HttpRequest::Close() { impl_.reset(); }

}  // namespace platform
