#pragma once
#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {
namespace posix {

// libcurl's process-wide set-up, done once; false when it failed.
bool CurlGlobalInit();
// A transfer's result as the Internet layer's error code.
uint32_t MapCurlError(CURLcode code);
// The certificate error of a refused peer, the way WinINet names it.
uint32_t CertificateError(CURL* easy);
// True when data begins with prefix (lower case), compared without regard to ASCII case.
bool StartsWithNoCase(const char* data, size_t size, const char* prefix);
// reference made whole against base (an absolute address); empty when it cannot be.
std::string ResolveUrl(const std::string& base, const std::string& reference);
// A decimal number that fits into 64 bits, blanks around it allowed.
bool ParseLength(const std::string& text, uint64_t* value);

}  // namespace posix
}  // namespace platform
