#include "net/http_downloader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/paths.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "tests/net/net_test_util.h"
#include "tests/support/temp_dir.h"

namespace {

using net_test::Pattern;
using net_test::SameBytes;
using tavo_test::ReadBytes;
using tavo_test::WriteBytes;

constexpr uint32_t kMessage = 0x938B;

class HttpDownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override { START_LOOPBACK_SERVER(server_); }
  bool Download(const std::string& path, DownloadNotifyTarget* target = nullptr, uint32_t expectedKB = 0) {
    return HttpDownloader().DownloadFile(0, local_, server_.Url(path), target, kMessage, expectedKB);
  }
  std::string Part() const { return ReadBytes(local_ + HttpDownloader::kPartSuffix); }
  tavo_test::LoopbackServer server_;
  tavo_test::TempDir dir_;
  std::wstring local_ = dir_.File(L"download.bin");
};

// What the answer does to a good earlier copy of the file.
TEST_F(HttpDownloaderTest, OnlyAWholeTwoHundredAnswerReplacesTheLocalFile) {
  const std::string served = Pattern(10000, 1);
  ASSERT_TRUE(server_.WriteFile("/file.bin", served));
  struct Row {
    const char* path;
    const char* rule;   // for the path; empty: served as it is
    bool ok;
    std::string local;  // the local file afterwards
    size_t part;        // bytes left in the side file after a failure
  } rows[] = {
      {"/file.bin", "", true, served, 0},
      {"/file.bin", "status=201", true, served, 0},
      {"/file.bin", "status=299", true, served, 0},
      {"/file.bin", "status=204", true, "", 0},
      {"/old.bin", "status=301 location=/file.bin", true, served, 0},
      {"/file.bin", "status=300", false, "earlier", 0},
      {"/file.bin", "status=304", false, "earlier", 0},
      {"/file.bin", "status=404", false, "earlier", 0},
      {"/file.bin", "status=500", false, "earlier", 0},
      {"/file.bin", "status=503", false, "earlier", 0},
      // A connection that ends before the announced length is a failure, even
      // when the last read happens to be short or ends on a block boundary.
      {"/file.bin", "close-after=3000", false, "earlier", 3000},
      {"/file.bin", "close-after=4096", false, "earlier", 4096},
      {"/file.bin", "announce=19000", false, "earlier", 10000},
      // Short reads long before the end do not end the download.
      {"/file.bin", "drip-bytes=100 drip-ms=1", true, served, 0},
  };
  for (const Row& row : rows) {
    ASSERT_TRUE(server_.ClearRules());
    if (*row.rule != '\0') {
      ASSERT_TRUE(server_.SetRule(row.path, row.rule));
    }
    ASSERT_TRUE(WriteBytes(local_, "earlier"));
    EXPECT_EQ(row.ok, Download(row.path)) << row.rule;
    EXPECT_TRUE(SameBytes(row.local, ReadBytes(local_))) << row.rule;
    if (row.part != 0) {
      EXPECT_TRUE(SameBytes(served.substr(0, row.part), Part())) << row.rule;
    }
  }
  // A failed status creates no file at all.
  ASSERT_TRUE(platform::DeleteFileAt(local_));
  EXPECT_FALSE(Download("/nothing-here.bin"));
  EXPECT_FALSE(platform::FileExists(local_));
}

TEST_F(HttpDownloaderTest, ConnectionAndLocalFailures) {
  ASSERT_TRUE(WriteBytes(local_, "keep me"));
  const uint16_t port = tavo_test::UnusedLoopbackPort();
  ASSERT_NE(0, port);
  const std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(port) + L"/file.bin";
  EXPECT_FALSE(HttpDownloader().DownloadFile(2000, local_, refused, nullptr, kMessage, 0));
  EXPECT_FALSE(HttpDownloader().DownloadFile(0, local_, L"not a url", nullptr, kMessage, 0));
  EXPECT_EQ("keep me", ReadBytes(local_));
  EXPECT_FALSE(HttpDownloader().CheckConnection(refused));
  EXPECT_FALSE(HttpDownloader().CheckConnection(L""));
  // A local file that cannot be created fails, after the server's answer.
  ASSERT_TRUE(server_.WriteFile("/file.bin", Pattern(100)));
  const std::wstring path = JoinPath(dir_.File(L"no-such-folder"), L"x.bin");
  EXPECT_FALSE(HttpDownloader().DownloadFile(0, path, server_.Url("/file.bin"), nullptr, kMessage, 0));
  EXPECT_FALSE(platform::FileExists(path));
}

TEST_F(HttpDownloaderTest, ProgressCountsBlocksUpToTheExpectedSize) {
  struct Row {
    size_t bytes;
    uint32_t expectedKB;
    std::vector<std::wstring> texts;
  } rows[] = {
      // Unknown size: every counted block (the empty last one included) reports zeros.
      {0, 0, {L"0KB/0KB"}},
      {1023, 0, {L"0KB/0KB"}},
      {1025, 0, std::vector<std::wstring>(2, L"0KB/0KB")},
      {102400, 0, std::vector<std::wstring>(101, L"0KB/0KB")},
      // Known size: a text every hundred blocks; the counter stops at the expected size.
      {102400, 1000, {L"100KB/1000KB"}},
      {102400, 100, {L"100KB/100KB", L"100KB/100KB"}},
      {102400, 50, {}},
      {250 * 1024 + 5, 100, std::vector<std::wstring>(152, L"100KB/100KB")},
      {250 * 1024, 300, {L"100KB/300KB", L"200KB/300KB"}},
      {0, 10, {}},
      {3 * 1024 * 1024 + 17, 0, std::vector<std::wstring>(3 * 1024 + 1, L"0KB/0KB")},
  };
  for (const Row& row : rows) {
    const std::string served = Pattern(row.bytes, 8);
    ASSERT_TRUE(server_.WriteFile("/sized.bin", served));
    ASSERT_TRUE(WriteBytes(local_, std::string(200000, 'x')));  // replaced, not overwritten in place
    net_test::RecordingTarget target;
    EXPECT_TRUE(Download("/sized.bin", &target, row.expectedKB)) << row.bytes;
    EXPECT_TRUE(SameBytes(served, ReadBytes(local_))) << row.bytes;
    EXPECT_EQ(row.texts, target.texts) << row.bytes << " bytes, " << row.expectedKB << " KB";
    EXPECT_EQ(std::vector<uint32_t>(row.texts.size(), kMessage), target.messages);
  }
  // Reads shorter than a block count as blocks only when a block is full.
  ASSERT_TRUE(server_.WriteFile("/drip.bin", Pattern(102400 + 10)));
  ASSERT_TRUE(server_.SetRule("/drip.bin", "drip-bytes=700 drip-ms=0"));
  net_test::RecordingTarget target;
  EXPECT_TRUE(Download("/drip.bin", &target, 200));
  EXPECT_EQ(std::vector<std::wstring>{L"100KB/200KB"}, target.texts);
}

TEST_F(HttpDownloaderTest, RequestsAndProbesCarryTheLauncherUserAgent) {
  ASSERT_TRUE(server_.WriteFile("/file.bin", Pattern(10)));
  ASSERT_TRUE(server_.SetRule("/error.xml", "status=500"));
  ASSERT_TRUE(Download("/file.bin"));
  // The probe counts any answer, and does not wait for a body that would take minutes.
  ASSERT_TRUE(server_.WriteFile("/big.bin", Pattern(64 * 1024)));
  ASSERT_TRUE(server_.SetRule("/big.bin", "stall-after=0 stall-ms=8000"));
  for (const char* path : {"/file.bin", "/missing.xml", "/error.xml", "/big.bin"}) {
    EXPECT_TRUE(HttpDownloader().CheckConnection(server_.Url(path))) << path;
  }
  const auto requests = server_.Requests();
  ASSERT_EQ(5u, requests.size());
  EXPECT_EQ("GET", requests[0].method);
  for (const auto& request : requests) {
    EXPECT_EQ(platform::WideToUtf8(HttpDownloader::kUserAgent), request.userAgent) << request.path;
  }
}

}  // namespace
