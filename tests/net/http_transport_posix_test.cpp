// The Linux transport: the receive timeout against a server that stops
// sending, and the proxy of the environment. The timeouts are tested here
// only: Wine's WinINet does not hand the session's receive timeout down to a
// request opened by URL, so under Wine these downloads wait for the server
// (on Windows the session's timeouts apply to the request).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "net/http_downloader.h"
#include "platform/utf.h"
#include "tests/net/net_test_util.h"
#include "tests/support/temp_dir.h"

namespace {

using net_test::Pattern;
using net_test::SameBytes;
using tavo_test::ReadBytes;

TEST(HttpTimeout, AStallLongerThanTheTimeoutFailsAndKeepsTheGoodCopy) {
  tavo_test::LoopbackServer server;
  START_LOOPBACK_SERVER(server);
  tavo_test::TempDir dir;
  const std::wstring local = dir.File(L"download.bin");
  const std::string served = Pattern(10000, 3);
  ASSERT_TRUE(server.WriteFile("/f.bin", served));
  struct Row {
    const char* rule;
    uint32_t timeoutMs;
    bool ok;
    size_t part;  // bytes kept beside the good copy after a failure
  } rows[] = {
      {"stall-after=2048 stall-ms=4000", 500, false, 2048},
      {"stall-after=1500 stall-ms=4000", 500, false, 1500},  // a short read, then the stall
      {"delay-ms=3000", 500, false, 0},                        // no answer in time: nothing written
      {"stall-after=2048 stall-ms=200", 5000, true, 0},
      {"drip-bytes=300 drip-ms=100", 500, true, 0},  // each piece in time, the whole taking longer
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(server.ClearRules());
    ASSERT_TRUE(server.SetRule("/f.bin", row.rule));
    ASSERT_TRUE(tavo_test::WriteBytes(local, "good earlier copy"));
    EXPECT_EQ(row.ok, HttpDownloader().DownloadFile(row.timeoutMs, local, server.Url("/f.bin"), nullptr, 0, 0)) << row.rule;
    EXPECT_TRUE(SameBytes(row.ok ? served : "good earlier copy", ReadBytes(local))) << row.rule;
    if (row.part != 0) {
      EXPECT_TRUE(SameBytes(served.substr(0, row.part), ReadBytes(local + HttpDownloader::kPartSuffix))) << row.rule;
    }
  }
}

// The Linux counterpart of the system's Internet settings: a proxy named by
// http_proxy carries the request.
TEST(HttpProxy, ProxyOfTheEnvironmentCarriesTheRequest) {
  tavo_test::LoopbackServer server;
  START_LOOPBACK_SERVER(server);
  tavo_test::TempDir dir;
  const char* previous = std::getenv("http_proxy");
  const std::string saved = previous ? previous : "";
  ::setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(server.port())).c_str(), 1);
  const bool ok = HttpDownloader().DownloadFile(2000, dir.File(L"x"), L"http://download.example.invalid/pkg.msi",
                                                nullptr, 0, 0);
  previous ? ::setenv("http_proxy", saved.c_str(), 1) : ::unsetenv("http_proxy");
  // The loopback server is no proxy and answers 404, but it saw the request.
  EXPECT_FALSE(ok);
  const auto requests = server.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_NE(std::string::npos, requests[0].path.find("pkg.msi"));
  EXPECT_EQ(platform::WideToUtf8(HttpDownloader::kUserAgent), requests[0].userAgent);
}

}  // namespace
