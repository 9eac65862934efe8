// The transfer rules driven through a fake request on a clock of its own: no network, no waiting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/transfer_rules.h"
#include "platform/error.h"

namespace {

struct Piece {
  uint64_t afterMs;  // since the previous piece (or the head)
  size_t bytes;
};

// Answers as a server would: "/hopN" redirects to "/hop(N-1)", "/loop" to itself, "/down" to plain http://,
// "/up" to https://, "/ftp" to ftp://, "/broken" to an address that cannot be made whole; anything else is the
// file. Every wait keeps to the rules' limit, as the backends do, and ends as timed out there.
class FakeRequest : public platform::HttpExchange {
 public:
  uint64_t now = 0, headMs = 0;
  std::vector<Piece> body;
  std::vector<std::wstring> opened;

  bool Open(const std::wstring& url, const platform::HttpRequestOptions& options) override {
    watch_ = options.watch;
    opened.push_back(url);
    const std::wstring path = url.substr(url.find(L"/h/") + 2);
    location_.clear();
    if (path.compare(0, 4, L"/hop") == 0 && path != L"/hop0") location_ = L"http://h/hop" + std::to_wstring(std::stoi(path.substr(4)) - 1);
    if (path == L"/loop") location_ = url;
    if (path == L"/down") location_ = L"http://h/file";
    if (path == L"/up") location_ = L"https://h/file";
    if (path == L"/ftp") location_ = L"ftp://h/file";
    if (path == L"/broken") location_ = L" ";
    next_ = 0;
    return Wait(headMs);
  }
  bool StatusCode(uint32_t* status) const override {
    *status = location_.empty() ? 200 : 302;
    return true;
  }
  bool Location(std::wstring* target) const override {
    *target = location_ == L" " ? L"" : location_;
    return !location_.empty();
  }
  bool Read(void*, size_t, size_t* read) override {
    *read = 0;
    if (next_ == body.size()) return true;
    const Piece piece = body[next_++];
    if (!Wait(piece.afterMs)) return false;
    watch_->BodyArrived(piece.bytes);
    *read = piece.bytes;
    return true;
  }
  void Close() override {}

 private:
  bool Wait(uint64_t ms) {
    const uint64_t limit = watch_->WaitLimitMs();
    if (ms < limit) {
      now += ms;
      return true;
    }
    now += limit;
    platform::SetLastError(platform::kErrorInternetTimeout);
    return false;
  }
  platform::HttpTransferWatch* watch_ = nullptr;
  std::wstring location_;
  size_t next_ = 0;
};

TEST(TransferRules, FloorHeadDeadlineAndRedirects) {
  constexpr uint32_t kTimeout = platform::kErrorInternetTimeout, kRedirect = platform::kErrorHttpRedirectFailed;
  // A timeout of 1 s: a floor window of 1 s, and the head due within three connect timeouts and one window.
  const struct {
    const char* what;
    std::wstring url;
    uint64_t headMs;
    std::vector<Piece> body;
    uint32_t deadlineMs;
    uint32_t error;  // 0: the whole body arrives
    size_t opens;
  } rows[] = {
      {"floor met at the window's end", L"http://h/f", 0, {{0, 1}, {999, 511}, {1, 1}, {1, 1}}, 0, 0, 1},
      {"floor missed by a byte", L"http://h/f", 0, {{0, 1}, {999, 510}, {1, 1}}, 0, kTimeout, 1},
      {"the window starts at the body's first byte", L"http://h/f", 0, {{900, 1}, {999, 511}, {1, 1}}, 0, 0, 1},
      {"a met window lets the next run to its end", L"http://h/f", 0, {{0, 512}, {1500, 512}}, 0, 0, 1},
      {"windows follow one another", L"http://h/f", 0, {{0, 512}, {1500, 512}, {1400, 1}, {200, 1}}, 0, kTimeout, 1},
      {"a slow head within its bound", L"http://h/f", 3999, {{0, 1}}, 0, 0, 1},
      {"a head past its bound", L"http://h/f", 4000, {}, 0, kTimeout, 1},
      {"the deadline ends the head", L"http://h/f", 2000, {}, 2000, kTimeout, 1},
      {"the deadline ends a body that keeps the floor", L"http://h/f", 0,
       {{0, 600}, {1000, 600}, {1000, 600}, {1000, 600}}, 2500, kTimeout, 1},
      {"ten redirects are followed", L"http://h/hop10", 0, {}, 0, 0, 11},
      {"a redirect loop ends at the cap", L"http://h/loop", 0, {}, 0, kRedirect, 11},
      {"https to http is refused unasked", L"https://h/down", 0, {}, 0, platform::kErrorInternetHttpsToHttpOnRedir, 1},
      {"http to https is followed", L"http://h/up", 0, {}, 0, 0, 2},
      {"no scheme but http and https", L"http://h/ftp", 0, {}, 0, kRedirect, 1},
      {"an address that cannot be made whole", L"http://h/broken", 0, {}, 0, kRedirect, 1},
  };
  for (const auto& row : rows) {
    FakeRequest request;
    request.headMs = row.headMs;
    request.body = row.body;
    TransferRules rules(1000, row.deadlineMs, [&request] { return request.now; });
    bool ok = rules.Open(request, row.url, {});
    size_t read = 1;
    while (ok && read > 0) ok = request.Read(nullptr, 1 << 20, &read);
    EXPECT_EQ(row.error, ok ? 0 : platform::LastError()) << row.what << " (at " << request.now << " ms)";
    EXPECT_EQ(row.opens, request.opened.size()) << row.what;
  }
}

}  // namespace
