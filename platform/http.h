#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Error codes of the Internet layer (WinINet's values), set as the last error
// by both backends so that the debug log reads the same everywhere.
constexpr uint32_t kErrorInternetTimeout = 12002;
constexpr uint32_t kErrorInternetInternalError = 12004;
constexpr uint32_t kErrorInternetInvalidUrl = 12005;
constexpr uint32_t kErrorInternetUnrecognizedScheme = 12006;
constexpr uint32_t kErrorInternetNameNotResolved = 12007;
constexpr uint32_t kErrorInternetCannotConnect = 12029;
constexpr uint32_t kErrorInternetConnectionAborted = 12030;
constexpr uint32_t kErrorInternetConnectionReset = 12031;
constexpr uint32_t kErrorInternetSecCertDateInvalid = 12037;
constexpr uint32_t kErrorInternetSecCertCnInvalid = 12038;
constexpr uint32_t kErrorInternetHttpsToHttpOnRedir = 12040;
constexpr uint32_t kErrorInternetInvalidCa = 12045;
constexpr uint32_t kErrorInternetSecCertRevFailed = 12057;
constexpr uint32_t kErrorHttpHeaderNotFound = 12150;
constexpr uint32_t kErrorHttpInvalidServerResponse = 12152;
constexpr uint32_t kErrorHttpRedirectFailed = 12156;
constexpr uint32_t kErrorInternetSecurityChannelError = 12157;
constexpr uint32_t kErrorInternetSecInvalidCert = 12169;
constexpr uint32_t kErrorInternetSecureFailure = 12175;

// The proxy of every request of this run, as an administrator names it
// ("host:port" or "http://host:port"); empty (the default): the system's own
// Internet settings decide, proxy included.
void SetHttpProxy(const std::wstring& address);
std::wstring HttpProxy();

// True when url begins with scheme (lower case, e.g. L"https") and a colon, in
// any case: the transfer rules judge redirects by it, the backends whether a
// request is secure.
bool UrlHasScheme(const std::wstring& url, const wchar_t* scheme);

// The transfer rules a request obeys (they live above the platform layer):
// told what arrives, asked how long the request may wait. Called on the
// thread that drives the request.
class HttpTransferWatch {
 public:
  virtual ~HttpTransferWatch() = default;
  // How long (ms) the request may wait for the server from now on, for
  // anything; UINT64_MAX: no limit. 0: its time is up, and it fails as timed
  // out (kErrorInternetTimeout).
  virtual uint64_t WaitLimitMs() = 0;
  // Bytes of the body arrived.
  virtual void BodyArrived(size_t bytes) = 0;
};

// How one request is made. The system's pre-configured Internet settings
// apply, apart from the proxy of the run, when one is set. Every request goes
// to the origin and stays out of the Internet cache: an entry another process
// put there is never served, and nothing is written to it.
struct HttpRequestOptions {
  std::wstring userAgent;
  // Connect timeout and receive timeout (also the wait for the answer and
  // for each piece of the body), in milliseconds.
  uint32_t timeoutMs = 0;
  // Connect attempts before the request fails.
  uint32_t connectRetries = 0;
  // Binary transfer (no text conversion of the body).
  bool binaryTransfer = false;
  // Request context value handed to the system.
  uintptr_t context = 0;
  // Not null: every wait of the request, from the first connect to the
  // body's last byte, ends where it says; a blocking wait for the answer's
  // head included. It must outlive the request.
  HttpTransferWatch* watch = nullptr;
  // Further request headers, each line ending in CR LF.
  std::wstring headers;
};

// One HTTP(S) GET of one address. All failures set the last error.
class HttpExchange {
 public:
  virtual ~HttpExchange() = default;
  // Sends the request (closing an earlier one); true once the server's
  // answer (status line and headers) has arrived. A redirect is not
  // followed: it is the answer. No body byte is consumed by this call.
  virtual bool Open(const std::wstring& url, const HttpRequestOptions& options) = 0;
  // The status code of the answer; false when it cannot be read.
  virtual bool StatusCode(uint32_t* status) const = 0;
  // The address the answer's Location names, made whole against the
  // request's address (empty when it cannot be); false when there is none.
  virtual bool Location(std::wstring* target) const = 0;
  // Reads up to size bytes of the body; may return fewer at any time. *read
  // is 0 only at the end of the body. False on a network error or timeout.
  virtual bool Read(void* buffer, size_t size, size_t* read) = 0;
  // Closes request and session; also done by the destructor.
  virtual void Close() = 0;
};

// The request through the system's Internet layer (WinINet on Windows,
// libcurl on Linux): session and request live exactly as long as one Open.
//
// An https:// address is verified against the machine's trusted roots and
// the server's name. A certificate the machine does not trust fails the
// request at once, with no prompt and nothing to override it
// (kErrorInternetInvalidCa, kErrorInternetSecCertCnInvalid,
// kErrorInternetSecCertDateInvalid or kErrorInternetSecureFailure).
class HttpRequest final : public HttpExchange {
 public:
  HttpRequest();
  ~HttpRequest() override;
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;

  bool Open(const std::wstring& url, const HttpRequestOptions& options) override;
  bool StatusCode(uint32_t* status) const override;
  bool Location(std::wstring* target) const override;
  // The length the server announced for the body. False when it announced
  // none (kErrorHttpHeaderNotFound), or one that is no number or too large
  // to be one (kErrorHttpInvalidServerResponse).
  bool ContentLength(uint64_t* length) const;
  // The value of a header of the answer, the first of that name (compared
  // without regard to case); false when there is none.
  bool Header(const std::wstring& name, std::wstring* value) const;
  bool Read(void* buffer, size_t size, size_t* read) override;
  void Close() override;

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
