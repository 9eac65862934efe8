#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/http.h"

// How slow one request may be and where it may lead, for both HTTP backends
// alike: the backends only report what arrives and give up when told to.
//
// - The answer's head (connect attempts, redirects and the final head) has
//   to come within the connect attempts' timeouts and one window of the rate
//   floor: it is far smaller than what the floor asks for in a window.
// - The rate floor: once the body's first byte is in, every window of
//   kFloorWindowMs (or of the timeout, when that is shorter), one after the
//   other, brings at least kFloorBytesPerSecond on average, or the request
//   fails as timed out, as a stall does: a trickle of single bytes otherwise
//   never ends. A window that already brought enough lets the next one run
//   to its end before anything can be missed.
// - A deadline, when given, ends the whole request, whatever the server sends.
// - Redirects (301, 302, 303, 307, 308 with a Location) are followed to
//   http:// and https:// only, at most kMaxRedirects; one that leaves https://
//   for http:// fails before anything is asked of the plain address
//   (kErrorInternetHttpsToHttpOnRedir): what was protected stays protected.
class TransferRules : public platform::HttpTransferWatch {
 public:
  using Clock = std::function<uint64_t()>;  // monotonic ms
  static constexpr uint32_t kConnectRetries = 3;
  static constexpr uint32_t kFloorWindowMs = 60000;
  // A 64 kbit/s line brings 16 times the floor.
  static constexpr uint32_t kFloorBytesPerSecond = 512;
  static constexpr int kMaxRedirects = 10;

  // timeoutMs: the request's connect and receive timeout; deadlineMs: 0 for none.
  TransferRules(uint32_t timeoutMs, uint32_t deadlineMs, Clock clock = Clock());

  // Opens url through request, following what redirects the rules allow,
  // until the final answer's head is in; its body is then read through
  // request, which obeys these rules. False with the last error set.
  bool Open(platform::HttpExchange& request, std::wstring url, platform::HttpRequestOptions options);

  uint64_t WaitLimitMs() override;
  void BodyArrived(size_t bytes) override;

 private:
  bool FloorKept(uint64_t now);

  Clock clock_;
  uint64_t headEnd_ = 0;
  uint64_t deadlineEnd_ = UINT64_MAX;
  uint64_t windowMs_ = 0;
  uint64_t floorBytes_ = 0;
  bool headIn_ = false;
  bool bodyBegun_ = false;
  bool missed_ = false;
  uint64_t windowStart_ = 0;
  uint64_t windowBytes_ = 0;
};
