#include "platform/posix/curl_support.h"

#include <cstring>
#include <mutex>

#include "platform/error.h"
#include "platform/http.h"

namespace platform {
namespace posix {

bool CurlGlobalInit() {
  static std::once_flag once;
  static CURLcode result = CURLE_FAILED_INIT;
  std::call_once(once, [] { result = curl_global_init(CURL_GLOBAL_DEFAULT); });
  return result == CURLE_OK;
}

uint32_t MapCurlError(CURLcode code) {
  switch (code) {
    case CURLE_OK: return kErrorSuccess;
    case CURLE_UNSUPPORTED_PROTOCOL: return kErrorInternetUnrecognizedScheme;
    case CURLE_URL_MALFORMAT: return kErrorInternetInvalidUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST: return kErrorInternetNameNotResolved;
    case CURLE_COULDNT_CONNECT: return kErrorInternetCannotConnect;
    case CURLE_OPERATION_TIMEDOUT: return kErrorInternetTimeout;
    case CURLE_PARTIAL_FILE: return kErrorInternetConnectionAborted;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: return kErrorInternetConnectionReset;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY: return kErrorHttpInvalidServerResponse;
    case CURLE_TOO_MANY_REDIRECTS: return kErrorHttpRedirectFailed;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE: return kErrorInternetSecureFailure;
    case CURLE_OUT_OF_MEMORY: return kErrorNotEnoughMemory;
    case CURLE_WRITE_ERROR: return kErrorWriteFault;
    default: return kErrorInternetInternalError;
  }
}

bool StartsWithNoCase(const char* data, size_t size, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (size < n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = data[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool ParseLength(const std::string& text, uint64_t* value) {
  size_t i = text.find_first_not_of(" \t");
  size_t end = text.find_last_not_of(" \t\r\n");
  if (i == std::string::npos || end == std::string::npos) return false;
  uint64_t n = 0;
  for (; i <= end; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (n > (UINT64_MAX - digit) / 10) return false;
    n = n * 10 + digit;
  }
  *value = n;
  return true;
}

// The certificate error the way WinINet names it. libcurl reports every
// refused certificate alike; OpenSSL's verdict on the chain tells which check
// failed. libcurl checks the name itself, after a chain OpenSSL accepted, and
// then leaves the verdict at 0 or 1 (unspecified), which no chain check gives.
uint32_t CertificateError(CURL* easy) {
  long verdict = 0;
  curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verdict);
  switch (verdict) {
    case 0:
    case 1:
    case 62:  // X509_V_ERR_HOSTNAME_MISMATCH
    case 64: return kErrorInternetSecCertCnInvalid;  // X509_V_ERR_IP_ADDRESS_MISMATCH
    case 9:
    case 10: return kErrorInternetSecCertDateInvalid;  // not yet valid, expired
    default: return kErrorInternetInvalidCa;
  }
}

std::string ResolveUrl(const std::string& base, const std::string& reference) {
  CURLU* url = curl_url();
  if (!url) return std::string();
  std::string whole;
  char* text = nullptr;
  // A reference that is an address of its own replaces the base.
  if (curl_url_set(url, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
      curl_url_set(url, CURLUPART_URL, reference.c_str(), 0) == CURLUE_OK &&
      curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
    whole = text;
  }
  curl_free(text);
  curl_url_cleanup(url);
  return whole;
}

}  // namespace posix
}  // namespace platform
