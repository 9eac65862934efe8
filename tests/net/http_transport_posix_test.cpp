// The Linux transport: the receive timeout T against a server that stops
// sending, and the proxy of the environment. The timeouts are tested here
// only: Wine's WinINet does not hand the session's receive timeout down to a
// request opened by URL, so under Wine these downloads wait for the server
// (on Windows the session's timeouts apply to the request).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "net/http_downloader.h"
#include "tests/net/net_test_util.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace {

using net_test::Pattern;
using net_test::SameBytes;
using tavo_test::ReadBytes;
using tavo_test::WriteBytes;

class HttpTimeoutTest : public ::testing::Test {
 protected:
  void SetUp() override { START_LOOPBACK_SERVER(server_); }
  bool Download(const std::string& path, uint32_t timeoutMs) {
    return HttpDownloader().DownloadFile(timeoutMs, local_, server_.Url(path), nullptr, 0, 0);
  }
  tavo_test::LoopbackServer server_;
  tavo_test::TempDir dir_;
  std::wstring local_ = dir_.File(L"download.bin");
};

TEST_F(HttpTimeoutTest, StallLongerThanTheTimeoutFailsAndKeepsWhatWasWritten) {
  const std::string served = Pattern(10000, 3);
  ASSERT_TRUE(server_.WriteFile("/stall.bin", served));
  ASSERT_TRUE(server_.SetRule("/stall.bin", "stall-after=2048 stall-ms=4000"));
  ASSERT_TRUE(WriteBytes(local_, "good earlier copy"));
  EXPECT_FALSE(Download("/stall.bin", 500));
  EXPECT_TRUE(SameBytes(served.substr(0, 2048), ReadBytes(local_ + L".part")));
  EXPECT_EQ("good earlier copy", ReadBytes(local_));
}

TEST_F(HttpTimeoutTest, StallAfterAShortReadKeepsTheBytesOfTheUnfinishedBlock) {
  const std::string served = Pattern(10000, 3);
  ASSERT_TRUE(server_.WriteFile("/stall.bin", served));
  ASSERT_TRUE(server_.SetRule("/stall.bin", "stall-after=1500 stall-ms=4000"));
  EXPECT_FALSE(Download("/stall.bin", 500));
  EXPECT_TRUE(SameBytes(served.substr(0, 1500), ReadBytes(local_ + L".part")));
}

TEST_F(HttpTimeoutTest, AnswerLaterThanTheTimeoutFailsBeforeAnyFile) {
  ASSERT_TRUE(server_.WriteFile("/late.bin", Pattern(1000)));
  ASSERT_TRUE(server_.SetRule("/late.bin", "delay-ms=3000"));
  ASSERT_TRUE(WriteBytes(local_, "keep me"));
  EXPECT_FALSE(Download("/late.bin", 500));
  EXPECT_EQ("keep me", ReadBytes(local_));
}

TEST_F(HttpTimeoutTest, SlowButSteadyBodyIsNotATimeout) {
  // Each piece arrives well within T, although the whole takes longer than T.
  const std::string served = Pattern(3000, 4);
  ASSERT_TRUE(server_.WriteFile("/slow.bin", served));
  ASSERT_TRUE(server_.SetRule("/slow.bin", "drip-bytes=300 drip-ms=100"));
  EXPECT_TRUE(Download("/slow.bin", 500));
  EXPECT_TRUE(SameBytes(served, ReadBytes(local_)));
}

// The Linux counterpart of the system's pre-configured Internet settings:
// a proxy named by http_proxy carries the request.
TEST_F(HttpTimeoutTest, ProxyOfTheEnvironmentCarriesTheRequest) {
  const char* previous = std::getenv("http_proxy");
  std::string saved = previous ? previous : "";
  std::string proxy = "http://127.0.0.1:" + std::to_string(server_.port());
  ::setenv("http_proxy", proxy.c_str(), 1);
  bool ok = HttpDownloader().DownloadFile(2000, local_, L"http://download.example.invalid/pkg.msi", nullptr, 0, 0);
  if (previous) {
    ::setenv("http_proxy", saved.c_str(), 1);
  } else {
    ::unsetenv("http_proxy");
  }
  // The loopback server is no proxy and answers 404, but it saw the request.
  EXPECT_FALSE(ok);
  auto requests = server_.Requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_NE(std::string::npos, requests[0].path.find("pkg.msi"));
  EXPECT_EQ("KOTA Install Launcher", requests[0].userAgent);
}

}  // namespace
