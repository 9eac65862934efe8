#include "net/transfer_rules.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/error.h"

namespace {

bool IsRedirect(uint32_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// 0 when the redirect from one address to the next is followed, else the error that refuses it.
uint32_t RedirectRefusal(const std::wstring& from, const std::wstring& to, int followed) {
  if (platform::UrlHasScheme(from, L"https") && platform::UrlHasScheme(to, L"http")) return platform::kErrorInternetHttpsToHttpOnRedir;
  // Also an address that could not be made whole: it has no scheme.
  if (followed >= TransferRules::kMaxRedirects || !(platform::UrlHasScheme(to, L"http") || platform::UrlHasScheme(to, L"https"))) {
    return platform::kErrorHttpRedirectFailed;
  }
  return 0;
}

}  // namespace

TransferRules::TransferRules(uint32_t timeoutMs, uint32_t deadlineMs, Clock clock)
    : clock_(clock ? std::move(clock) : Clock(platform::TickCountMs)) {
  const uint64_t start = clock_();
  windowMs_ = std::min(kFloorWindowMs, timeoutMs);
  floorBytes_ = windowMs_ * kFloorBytesPerSecond / 1000;
  headEnd_ = start + uint64_t{timeoutMs} * kConnectRetries + windowMs_;
  if (deadlineMs != 0) deadlineEnd_ = start + deadlineMs;
}

bool TransferRules::Open(platform::HttpExchange& request, std::wstring url, platform::HttpRequestOptions options) {
  options.connectRetries = kConnectRetries;
  options.watch = this;
  for (int followed = 0;; ++followed) {
    if (!request.Open(url, options)) return false;
    uint32_t status = 0;
    std::wstring next;
    if (!request.StatusCode(&status) || !IsRedirect(status) || !request.Location(&next)) break;
    if (const uint32_t refusal = RedirectRefusal(url, next, followed)) {
      request.Close();
      platform::SetLastError(refusal);
      return false;
    }
    url = next;
  }
  headIn_ = true;
  return true;
}

// Closes the windows that have passed; false once one of them brought too little.
bool TransferRules::FloorKept(uint64_t now) {
  while (!missed_ && windowMs_ != 0 && now - windowStart_ >= windowMs_) {
    missed_ = windowBytes_ < floorBytes_;
    windowStart_ += windowMs_;
    windowBytes_ = 0;
  }
  return !missed_;
}

uint64_t TransferRules::WaitLimitMs() {
  const uint64_t now = clock_();
  uint64_t end = deadlineEnd_;
  if (!headIn_) {
    end = std::min(end, headEnd_);
  } else if (bodyBegun_ && windowMs_ != 0) {
    if (!FloorKept(now)) return 0;
    end = std::min(end, windowStart_ + windowMs_ * (windowBytes_ >= floorBytes_ ? 2 : 1));
  }
  return end > now ? (end == UINT64_MAX ? UINT64_MAX : end - now) : 0;
}

void TransferRules::BodyArrived(size_t bytes) {
  const uint64_t now = clock_();
  if (!bodyBegun_) {
    bodyBegun_ = true;
    windowStart_ = now;
  } else if (!FloorKept(now)) {
    return;
  }
  windowBytes_ += bytes;
}
