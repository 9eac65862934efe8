#include "net/http_downloader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/paths.h"
#include "platform/files.h"
#include "tests/net/net_test_util.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace {

using net_test::Pattern;
using net_test::SameBytes;
using net_test::RecordingTarget;
using tavo_test::LoopbackServer;
using tavo_test::ReadBytes;
using tavo_test::TempDir;
using tavo_test::WriteBytes;

constexpr uint32_t kMessage = 0x938B;
const char kUserAgent[] = "KOTA Install Launcher";

class HttpDownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override { START_LOOPBACK_SERVER(server_); }

  bool Download(const std::string& path, DownloadNotifyTarget* target = nullptr, uint32_t expectedKB = 0,
                uint32_t timeoutMs = 0) {
    return HttpDownloader().DownloadFile(timeoutMs, local_, server_.Url(path), target, kMessage, expectedKB);
  }

  bool LocalExists() const { return platform::FileExists(local_); }

  LoopbackServer server_;
  TempDir dir_;
  std::wstring local_ = dir_.File(L"download.bin");
};

// --- status codes -----------------------------------------------------------

struct StatusCase {
  const char* name;
  const char* rule;  // for /file.bin; empty: served as it is
  bool succeeds;
  bool fileIsServed;  // the local file then holds the served bytes
};

class HttpDownloaderStatusTest : public HttpDownloaderTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(HttpDownloaderStatusTest, OnlyTwoHundredsDownloadAndOthersLeaveTheLocalFile) {
  const StatusCase& c = GetParam();
  const std::string served = Pattern(3000, 1);
  ASSERT_TRUE(server_.WriteFile("/file.bin", served));
  ASSERT_TRUE(server_.WriteFile("/good.bin", Pattern(5000, 2)));
  if (*c.rule) {
    ASSERT_TRUE(server_.SetRule("/file.bin", c.rule));
  }
  ASSERT_TRUE(WriteBytes(local_, "previous content"));

  EXPECT_EQ(c.succeeds, Download("/file.bin"));
  if (!c.succeeds) {
    EXPECT_EQ("previous content", ReadBytes(local_)) << "a failed status must not touch the local file";
  } else if (c.fileIsServed) {
    EXPECT_TRUE(SameBytes(served, ReadBytes(local_)));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, HttpDownloaderStatusTest,
    ::testing::Values(StatusCase{"Ok200", "", true, true},
                      StatusCase{"Created201", "status=201", true, true},
                      StatusCase{"Accepted299", "status=299", true, true},
                      StatusCase{"Multiple300", "status=300", false, false},
                      StatusCase{"NotModified304", "status=304", false, false},
                      StatusCase{"Forbidden403", "status=403", false, false},
                      StatusCase{"NotFound404", "status=404", false, false},
                      StatusCase{"ServerError500", "status=500", false, false},
                      StatusCase{"Unavailable503", "status=503", false, false}),
    [](const ::testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

TEST_F(HttpDownloaderTest, NoContent204SucceedsWithAnEmptyFile) {
  ASSERT_TRUE(server_.SetRule("/empty", "status=204"));
  ASSERT_TRUE(WriteBytes(local_, "previous content"));
  EXPECT_TRUE(Download("/empty"));
  EXPECT_TRUE(LocalExists());
  EXPECT_EQ("", ReadBytes(local_));
}

TEST_F(HttpDownloaderTest, MovedPermanentlyFollowsToTheGoodFile) {
  const std::string good = Pattern(5000, 2);
  ASSERT_TRUE(server_.WriteFile("/good.bin", good));
  ASSERT_TRUE(server_.SetRule("/old.bin", "status=301 location=" + std::string("/good.bin")));
  EXPECT_TRUE(Download("/old.bin"));
  EXPECT_TRUE(SameBytes(good, ReadBytes(local_)));
  EXPECT_EQ(1u, server_.RequestsFor("/old.bin").size());
  EXPECT_EQ(1u, server_.RequestsFor("/good.bin").size());
}

TEST_F(HttpDownloaderTest, MissingFileAnswers404AndFails) {
  ASSERT_TRUE(WriteBytes(local_, "keep me"));
  EXPECT_FALSE(Download("/nothing-here.bin"));
  EXPECT_EQ("keep me", ReadBytes(local_));
}

TEST_F(HttpDownloaderTest, FailedStatusCreatesNoFile) {
  ASSERT_TRUE(server_.SetRule("/err", "status=500"));
  EXPECT_FALSE(Download("/err"));
  EXPECT_FALSE(LocalExists());
}

// --- connection failures ----------------------------------------------------

TEST_F(HttpDownloaderTest, RefusedConnectionFailsAndTouchesNothing) {
  uint16_t port = tavo_test::UnusedLoopbackPort();
  ASSERT_NE(0, port);
  ASSERT_TRUE(WriteBytes(local_, "keep me"));
  std::wstring url = L"http://127.0.0.1:" + std::to_wstring(port) + L"/file.bin";
  EXPECT_FALSE(HttpDownloader().DownloadFile(2000, local_, url, nullptr, kMessage, 0));
  EXPECT_EQ("keep me", ReadBytes(local_));
}

TEST_F(HttpDownloaderTest, StallShorterThanTheTimeoutStillSucceeds) {
  const std::string served = Pattern(10000, 3);
  ASSERT_TRUE(server_.WriteFile("/pause.bin", served));
  ASSERT_TRUE(server_.SetRule("/pause.bin", "stall-after=2048 stall-ms=200"));
  EXPECT_TRUE(Download("/pause.bin", nullptr, 0, 5000));
  EXPECT_TRUE(SameBytes(served, ReadBytes(local_)));
}

// A connection that ends before the announced length is a failed download,
// even when the last read happens to be short.
TEST_F(HttpDownloaderTest, TruncatedBodyFailsAndKeepsTheReceivedBytes) {
  const std::string served = Pattern(10000, 4);
  ASSERT_TRUE(server_.WriteFile("/trunc.bin", served));
  ASSERT_TRUE(server_.SetRule("/trunc.bin", "close-after=3000"));
  ASSERT_TRUE(WriteBytes(local_, "good earlier copy"));
  EXPECT_FALSE(Download("/trunc.bin"));
  // The received bytes stay beside it; the good copy is not destroyed.
  EXPECT_TRUE(SameBytes(served.substr(0, 3000), ReadBytes(local_ + L".part")));
  EXPECT_EQ("good earlier copy", ReadBytes(local_));
}

TEST_F(HttpDownloaderTest, TruncatedAtABlockBoundaryFails) {
  const std::string served = Pattern(10000, 4);
  ASSERT_TRUE(server_.WriteFile("/trunc.bin", served));
  ASSERT_TRUE(server_.SetRule("/trunc.bin", "close-after=4096"));
  EXPECT_FALSE(Download("/trunc.bin"));
  EXPECT_TRUE(SameBytes(served.substr(0, 4096), ReadBytes(local_ + L".part")));
}

TEST_F(HttpDownloaderTest, AnnouncedLengthBeyondTheFileFails) {
  const std::string served = Pattern(5000, 5);
  ASSERT_TRUE(server_.WriteFile("/short.bin", served));
  ASSERT_TRUE(server_.SetRule("/short.bin", "announce=9000"));
  EXPECT_FALSE(Download("/short.bin"));
  EXPECT_TRUE(SameBytes(served, ReadBytes(local_ + L".part")));
  EXPECT_FALSE(platform::FileExists(local_));
}

// Reads that return fewer bytes than a block long before the end must not
// end the download.
TEST_F(HttpDownloaderTest, SlowDripDownloadsTheWholeBody) {
  const std::string served = Pattern(5000, 6);
  ASSERT_TRUE(server_.WriteFile("/drip.bin", served));
  ASSERT_TRUE(server_.SetRule("/drip.bin", "drip-bytes=100 drip-ms=2"));
  RecordingTarget target;
  EXPECT_TRUE(Download("/drip.bin", &target, 0));
  EXPECT_TRUE(SameBytes(served, ReadBytes(local_)));
  // Four full blocks and the short last one, each reported with two zeros.
  EXPECT_EQ(std::vector<std::wstring>(5, L"0KB/0KB"), target.Texts());
}

TEST_F(HttpDownloaderTest, DripAcrossTheProgressStepCountsBlocksNotReads) {
  const std::string served = Pattern(102400 + 10, 7);
  ASSERT_TRUE(server_.WriteFile("/drip.bin", served));
  ASSERT_TRUE(server_.SetRule("/drip.bin", "drip-bytes=700 drip-ms=0"));
  RecordingTarget target;
  EXPECT_TRUE(Download("/drip.bin", &target, 200));
  EXPECT_TRUE(SameBytes(served, ReadBytes(local_)));
  EXPECT_EQ(std::vector<std::wstring>{L"100KB/200KB"}, target.Texts());
}

// --- body sizes and progress ---------------------------------------------------

struct SizeCase {
  size_t bytes;
  size_t blocks;  // counted blocks, the empty last one included
};

class HttpDownloaderSizeTest : public HttpDownloaderTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(HttpDownloaderSizeTest, WritesTheExactBytesAndReportsEveryBlockWhenTheSizeIsUnknown) {
  const SizeCase& c = GetParam();
  const std::string served = Pattern(c.bytes, 8);
  ASSERT_TRUE(server_.WriteFile("/sized.bin", served));
  ASSERT_TRUE(WriteBytes(local_, std::string(200000, 'x')));  // replaced, not overwritten in place
  RecordingTarget target;
  EXPECT_TRUE(Download("/sized.bin", &target, 0));
  EXPECT_TRUE(SameBytes(served, ReadBytes(local_)));
  ASSERT_EQ(c.blocks, target.messages.size());
  for (const auto& m : target.messages) {
    EXPECT_EQ(kMessage, m.message);
    EXPECT_EQ(L"0KB/0KB", m.text);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, HttpDownloaderSizeTest,
                         ::testing::Values(SizeCase{0, 1}, SizeCase{1, 1}, SizeCase{1023, 1}, SizeCase{1024, 2},
                                           SizeCase{1025, 2}, SizeCase{102400, 101}),
                         [](const ::testing::TestParamInfo<SizeCase>& info) {
                           return "Bytes" + std::to_string(info.param.bytes);
                         });

struct ExpectedCase {
  const char* name;
  size_t bytes;
  uint32_t expectedKB;
  std::vector<std::wstring> texts;
};

class HttpDownloaderExpectedTest : public HttpDownloaderTest, public ::testing::WithParamInterface<ExpectedCase> {};

TEST_P(HttpDownloaderExpectedTest, CounterStopsAtTheExpectedSizeAndReportsEveryHundred) {
  const ExpectedCase& c = GetParam();
  const std::string served = Pattern(c.bytes, 9);
  ASSERT_TRUE(server_.WriteFile("/sized.bin", served));
  RecordingTarget target;
  EXPECT_TRUE(Download("/sized.bin", &target, c.expectedKB));
  EXPECT_TRUE(SameBytes(served, ReadBytes(local_)));
  EXPECT_EQ(c.texts, target.Texts());
}

INSTANTIATE_TEST_SUITE_P(
    Expected, HttpDownloaderExpectedTest,
    ::testing::Values(
        // 101 blocks: the counter reaches 100 once.
        ExpectedCase{"Larger", 102400, 1000, {L"100KB/1000KB"}},
        // Stops at 100 and repeats the full text for the empty last block.
        ExpectedCase{"Equal", 102400, 100, {L"100KB/100KB", L"100KB/100KB"}},
        // Stops at 50 and never reaches a multiple of 100.
        ExpectedCase{"Smaller", 102400, 50, {}},
        // 251 blocks: stops at 100 after 100 blocks; 151 more repeat the text.
        ExpectedCase{"SmallerHundred", 250 * 1024 + 5, 100, std::vector<std::wstring>(152, L"100KB/100KB")},
        ExpectedCase{"TwoHundreds", 250 * 1024, 300, {L"100KB/300KB", L"200KB/300KB"}},
        // A 50 KB file never reaches the first hundred.
        ExpectedCase{"FiftyKB", 50 * 1024, 50, {}},
        ExpectedCase{"Empty", 0, 10, {}}),
    [](const ::testing::TestParamInfo<ExpectedCase>& info) { return std::string(info.param.name); });

TEST_F(HttpDownloaderTest, NoTargetMeansNoProgressAndStillDownloads) {
  const std::string served = Pattern(102400, 10);
  ASSERT_TRUE(server_.WriteFile("/sized.bin", served));
  EXPECT_TRUE(Download("/sized.bin", nullptr, 0));
  EXPECT_TRUE(SameBytes(served, ReadBytes(local_)));
}

TEST_F(HttpDownloaderTest, LargeBodyArrivesWhole) {
  const std::string served = Pattern(3 * 1024 * 1024 + 17, 11);
  ASSERT_TRUE(server_.WriteFile("/large.bin", served));
  EXPECT_TRUE(Download("/large.bin"));
  EXPECT_TRUE(SameBytes(served, ReadBytes(local_)));
}

TEST_F(HttpDownloaderTest, LocalFileThatCannotBeCreatedFails) {
  ASSERT_TRUE(server_.WriteFile("/file.bin", Pattern(100)));
  std::wstring path = JoinPath(dir_.File(L"no-such-folder"), L"x.bin");
  EXPECT_FALSE(HttpDownloader().DownloadFile(0, path, server_.Url("/file.bin"), nullptr, kMessage, 0));
  EXPECT_FALSE(platform::FileExists(path));
  // The file is created only after the server's answer.
  EXPECT_EQ(1u, server_.RequestsFor("/file.bin").size());
}

// --- the request on the wire ------------------------------------------------

TEST_F(HttpDownloaderTest, SendsTheLauncherUserAgent) {
  ASSERT_TRUE(server_.WriteFile("/file.bin", Pattern(10)));
  ASSERT_TRUE(Download("/file.bin"));
  auto requests = server_.RequestsFor("/file.bin");
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("GET", requests[0].method);
  EXPECT_EQ(kUserAgent, requests[0].userAgent);
}

// --- the probe --------------------------------------------------------------

TEST_F(HttpDownloaderTest, ProbeSucceedsOnAnyAnswer) {
  ASSERT_TRUE(server_.WriteFile("/DownloadConfig.xml", "<DownloadConfig/>"));
  ASSERT_TRUE(server_.SetRule("/error.xml", "status=500"));
  HttpDownloader downloader;
  EXPECT_TRUE(downloader.CheckConnection(server_.Url("/DownloadConfig.xml")));
  EXPECT_TRUE(downloader.CheckConnection(server_.Url("/missing.xml")));
  EXPECT_TRUE(downloader.CheckConnection(server_.Url("/error.xml")));
  auto requests = server_.RequestsFor("/missing.xml");
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(kUserAgent, requests[0].userAgent);
}

TEST_F(HttpDownloaderTest, ProbeFailsWhenNothingListens) {
  uint16_t port = tavo_test::UnusedLoopbackPort();
  ASSERT_NE(0, port);
  EXPECT_FALSE(HttpDownloader().CheckConnection(L"http://127.0.0.1:" + std::to_wstring(port) + L"/DownloadConfig.xml"));
}

TEST_F(HttpDownloaderTest, ProbeDoesNotWaitForTheBody) {
  // The body would take minutes; the probe only needs the answer's head.
  ASSERT_TRUE(server_.WriteFile("/big.bin", Pattern(64 * 1024)));
  ASSERT_TRUE(server_.SetRule("/big.bin", "stall-after=0 stall-ms=8000"));
  EXPECT_TRUE(HttpDownloader().CheckConnection(server_.Url("/big.bin")));
}

TEST_F(HttpDownloaderTest, MalformedUrlFails) {
  EXPECT_FALSE(HttpDownloader().DownloadFile(0, local_, L"not a url", nullptr, kMessage, 0));
  EXPECT_FALSE(LocalExists());
  EXPECT_FALSE(HttpDownloader().CheckConnection(L""));
}

}  // namespace
