// Downloads against the loopback server and the MD5 check of a download.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/paths.h"
#include "net/http_downloader.h"
#include "net/package_download.h"
#include "platform/error.h"
#include "platform/file_security.h"
#include "platform/files.h"
#include "platform/http.h"
#include "platform/held_file.h"
#include "platform/utf.h"
#include "tests/support/log_capture.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"

namespace {

using tavo_test::ReadBytes;
using tavo_test::WriteBytes;

// Deterministic bytes that differ from block to block.
std::string Pattern(size_t size, unsigned seed = 0) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251 + seed) & 0xff);
  return bytes;
}

// Compares two byte strings without printing them whole.
::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  return ::testing::AssertionFailure() << "expected " << expected.size() << " bytes, got " << actual.size()
                                       << ", first difference at offset " << at;
}

constexpr uint32_t kMessage = 0x938B;

// Records the progress texts of the given message.
struct Progress : DownloadNotifyTarget {
  void Notify(uint32_t message, const std::wstring& text) override {
    EXPECT_EQ(kMessage, message);
    texts.push_back(text);
  }
  std::vector<std::wstring> texts;
};

class HttpDownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
  }
  bool Download(const std::string& path, DownloadNotifyTarget* target = nullptr, uint32_t expectedKB = 0,
                uint32_t timeoutMs = 0) {
    return HttpDownloader().Download({server_.Url(path), local_, timeoutMs, target, kMessage, expectedKB});
  }
  tavo_test::LoopbackServer server_;
  tavo_test::TempDir dir_;
  std::wstring local_ = dir_.File(L"download.bin");
};

// What an answer does to a good earlier copy of the file.
TEST_F(HttpDownloaderTest, OnlyAWholeTwoHundredAnswerReplacesTheLocalFile) {
  const std::string served = Pattern(10000, 1), small = Pattern(2500, 2);
  ASSERT_TRUE(server_.WriteFile("/file.bin", served) && server_.WriteFile("/small.bin", small));
  const struct {
    const char* path;
    const char* rule;    // for the path; empty: served as it is
    uint32_t timeoutMs;  // 0: the default
    bool ok;
    std::string local;  // the local file afterwards; no side file is left
  } rows[] = {
      {"/file.bin", "", 0, true, served},           {"/file.bin", "status=201", 0, true, served},
      {"/file.bin", "status=299", 0, true, served}, {"/file.bin", "status=204", 0, true, ""},
      {"/old.bin", "status=301 location=/file.bin", 0, true, served},
      {"/old.bin", "status=308 location=/fil%65.bin", 0, true, served},  // an escape kept as the server sent it
      {"/loop.bin", "status=302 location=/loop.bin", 0, false, "earlier"},  // a redirect loop ends
      {"/file.bin", "status=300", 0, false, "earlier"}, {"/file.bin", "status=304", 0, false, "earlier"},
      {"/file.bin", "status=404", 0, false, "earlier"}, {"/file.bin", "status=500", 0, false, "earlier"},
      {"/file.bin", "status=503", 0, false, "earlier"}, {"/none.bin", "", 0, false, "earlier"},
      // A connection that ends before the announced length is a failure, even when the last read happens to be
      // short or ends on a block boundary; short reads long before the end do not end the download.
      {"/file.bin", "close-after=3000", 0, false, "earlier"},
      {"/file.bin", "close-after=4096", 0, false, "earlier"},
      {"/file.bin", "announce=19000", 0, false, "earlier"},
      {"/file.bin", "drip-bytes=100 drip-ms=1", 0, true, served},
#ifndef _WIN32
      // The receive timeout, on the Linux transport only: Wine's WinINet does not hand the session's timeout
      // down to a request opened by URL (on Windows it does).
      {"/file.bin", "stall-after=2048 stall-ms=4000", 500, false, "earlier"},
      {"/file.bin", "stall-after=1500 stall-ms=4000", 500, false, "earlier"},
      {"/file.bin", "delay-ms=3000", 500, false, "earlier"},
      {"/file.bin", "stall-after=2048 stall-ms=200", 5000, true, served},
      {"/file.bin", "drip-bytes=300 drip-ms=100", 500, true, served},  // each piece in time, the whole not
#endif
      // A trickle below the rate floor ends as a stall does, within the floor's window (here the timeout).
      {"/file.bin", "drip-bytes=1 drip-ms=100", 1000, false, "earlier"},
      // The floor is 512 bytes a second over the window (here 1 s): 400 a second end in the second window, 1000 a
      // second bring the file.
      {"/small.bin", "drip-bytes=40 drip-ms=100", 1000, false, "earlier"},
      {"/small.bin", "drip-bytes=100 drip-ms=100", 1000, true, small},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(server_.ClearRules() && (*row.rule == '\0' || server_.SetRule(row.path, row.rule)));
    ASSERT_TRUE(WriteBytes(local_, "earlier"));
    EXPECT_EQ(row.ok, Download(row.path, nullptr, 0, row.timeoutMs)) << row.rule;
    EXPECT_TRUE(SameBytes(row.local, ReadBytes(local_))) << row.rule;
    EXPECT_FALSE(platform::FileExists(local_ + kDownloadPartSuffix)) << row.rule;
  }
  // A failed status creates no file; nor does a refused connection, a bad address or a local folder that is missing.
  ASSERT_TRUE(platform::DeleteFileAt(local_));
  EXPECT_FALSE(Download("/nothing-here.bin"));
  const std::wstring refused = L"http://127.0.0.1:1/file.bin";  // below every port the system hands out
  EXPECT_FALSE(HttpDownloader().Download({refused, local_, 2000}));
  EXPECT_FALSE(HttpDownloader().Download({L"not a url", local_}));
  const std::wstring unplaceable = JoinPath(dir_.File(L"no-such-folder"), L"x.bin");
  EXPECT_FALSE(HttpDownloader().Download({server_.Url("/file.bin"), unplaceable}));
  EXPECT_FALSE(platform::FileExists(local_) || platform::FileExists(unplaceable));
  EXPECT_FALSE(HttpDownloader().CheckConnection(refused) || HttpDownloader().CheckConnection(L""));
  // Every request, and the probe, which counts any answer and does not wait for a body that takes minutes,
  // carries the launcher's user agent.
  ASSERT_TRUE(server_.ClearRules() && server_.SetRule("/big.bin", "stall-after=0 stall-ms=8000"));
  ASSERT_TRUE(server_.WriteFile("/big.bin", Pattern(64 * 1024)) && server_.SetRule("/error.xml", "status=500"));
  for (const char* path : {"/file.bin", "/missing.xml", "/error.xml", "/big.bin"}) {
    EXPECT_TRUE(HttpDownloader().CheckConnection(server_.Url(path))) << path;
  }
  const auto requests = server_.Requests();
  ASSERT_FALSE(requests.empty());
  // The redirect loop of the rows above was asked eleven times: ten redirects followed, by the launcher's rule.
  EXPECT_EQ(11, std::count_if(requests.begin(), requests.end(), [](const auto& r) { return r.path == "/loop.bin"; }));
  EXPECT_EQ("GET", requests[0].method);
  for (const auto& request : requests) {
    EXPECT_EQ(platform::WideToUtf8(HttpDownloader::kUserAgent), request.userAgent) << request.path;
  }
}

// A broken download goes on only with the checked rest of the same file; any other answer to the
// resumption fails that attempt, and the next one starts from zero.
TEST_F(HttpDownloaderTest, ResumesOnlyWithTheCheckedRestOfTheSameFile) {
  const std::string served = Pattern(10000, 3);
  const struct {
    const char* rule;  // besides a cut of the first answer after 4000 bytes
    int attempts;      // the attempts until the served file is in place
  } rows[] = {
      {"", 2},  {"short-206=10", 3}, {"long-206=13", 3}, {"bare-206=1 corrupt-ranges=1", 3},
      {"etag=changes if-range=ignore", 3},
      {"range-start=0", 3},  {"range-start=3999", 3}, {"range-start=4001", 3},  // not where the file stopped
      {"etag=weak", 2},  // not resumable: a date is no validator once a tag was named, so the second asks for all
  };
  int n = 0;
  for (const auto& row : rows) {
    const std::string path = "/r" + std::to_string(n++) + ".bin";  // the server counts the cuts per path
    ASSERT_TRUE(server_.WriteFile(path, served));
    ASSERT_TRUE(server_.SetRule(path, std::string("close-after=4000 close-times=1 ") + row.rule));
    DownloadResume state;
    DownloadRequest request{server_.Url(path), local_};
    request.resume = &state;
    int attempts = 1;
    while (!HttpDownloader().Download(request) && attempts < 4) ++attempts;
    EXPECT_EQ(row.attempts, attempts) << row.rule;
    EXPECT_TRUE(SameBytes(served, ReadBytes(local_))) << row.rule;
  }
  // Refused outright: a 206 to a request that asked for no range; a body without a length that is not the
  // size the configuration gives (unless that is unknown).
  ASSERT_TRUE(server_.WriteFile("/p.bin", served) && server_.SetRule("/p.bin", "always-206=100"));
  EXPECT_FALSE(Download("/p.bin"));
  ASSERT_TRUE(server_.WriteFile("/n.bin", served) && server_.SetRule("/n.bin", "no-length=1 close-after=4000"));
  EXPECT_FALSE(Download("/n.bin", nullptr, 10));
  EXPECT_TRUE(Download("/n.bin", nullptr, 0));
  ASSERT_TRUE(server_.SetRule("/n.bin", "no-length=1"));
  EXPECT_TRUE(Download("/n.bin", nullptr, 10));
  EXPECT_TRUE(SameBytes(served, ReadBytes(local_)));
  // A rest the server cannot give (416: the file shrank, and the server ignored If-Range) makes the next
  // attempt ask for the whole file.
  ASSERT_TRUE(server_.WriteFile("/s.bin", served) &&
              server_.SetRule("/s.bin", "close-after=4000 close-times=1 if-range=ignore"));
  DownloadResume state;
  DownloadRequest request{server_.Url("/s.bin"), local_};
  request.resume = &state;
  EXPECT_FALSE(HttpDownloader().Download(request));
  ASSERT_TRUE(server_.WriteFile("/s.bin", "tiny"));
  EXPECT_FALSE(HttpDownloader().Download(request));
  EXPECT_TRUE(HttpDownloader().Download(request));
  EXPECT_EQ("tiny", ReadBytes(local_));
}

// A request with a deadline ends there as timed out, whatever pace keeps the floor, a trickled head included.
TEST_F(HttpDownloaderTest, ADeadlineEndsASlowAnswer) {
  ASSERT_TRUE(server_.WriteFile("/slow.xml", Pattern(64 * 1024)) && server_.WriteFile("/head.xml", "<a/>"));
  ASSERT_TRUE(server_.SetRule("/slow.xml", "drip-bytes=200 drip-ms=50") &&
              server_.SetRule("/head.xml", "head-drip-ms=40"));
  for (const char* path : {"/slow.xml", "/head.xml"}) {
    EXPECT_FALSE(HttpDownloader().Download(XmlFileRequest(server_.Url(path), local_, 0, 1000))) << path;
    EXPECT_EQ(platform::kErrorInternetTimeout, platform::LastError()) << path;
  }
  EXPECT_TRUE(HttpDownloader().Download(XmlFileRequest(server_.Url("/head.xml"), local_, 0, 60000)));
}

TEST_F(HttpDownloaderTest, ProgressCountsBlocksUpToTheExpectedSize) {
  using Texts = std::vector<std::wstring>;
  const struct {
    size_t bytes;
    uint32_t expectedKB;
    Texts texts;
  } rows[] = {
      // Unknown size: every counted block (the empty last one included) reports zeros.
      {0, 0, {L"0KB/0KB"}}, {1023, 0, {L"0KB/0KB"}}, {1025, 0, Texts(2, L"0KB/0KB")}, {102400, 0, Texts(101, L"0KB/0KB")},
      {3 * 1024 * 1024 + 17, 0, Texts(3 * 1024 + 1, L"0KB/0KB")},
      // Known size: a text every hundred blocks; the counter stops at the expected size.
      {102400, 1000, {L"100KB/1000KB"}}, {102400, 100, {L"100KB/100KB", L"100KB/100KB"}}, {102400, 50, {}},
      {250 * 1024 + 5, 100, Texts(152, L"100KB/100KB")}, {0, 10, {}}, {250 * 1024, 300, {L"100KB/300KB", L"200KB/300KB"}},
  };
  for (const auto& row : rows) {
    const std::string served = Pattern(row.bytes, 8);
    ASSERT_TRUE(server_.WriteFile("/sized.bin", served));
    ASSERT_TRUE(WriteBytes(local_, std::string(200000, 'x')));  // replaced, not overwritten in place
    Progress target;
    EXPECT_TRUE(Download("/sized.bin", &target, row.expectedKB)) << row.bytes;
    EXPECT_TRUE(SameBytes(served, ReadBytes(local_))) << row.bytes;
    EXPECT_EQ(row.texts, target.texts) << row.bytes << " bytes, " << row.expectedKB << " KB";
  }
}

// Whatever another process puts at the side file's name while the file arrives, the file held at the end is the
// file downloaded: Windows lets nobody replace the open side file, and the move into place goes through the
// writer's handle; on Linux a file put there fails the hold instead of being held.
TEST_F(HttpDownloaderTest, TheFileHeldIsTheFileDownloadedWhateverLiesAtItsNames) {
  const std::string served = Pattern(200 * 1024, 3);
  ASSERT_TRUE(server_.WriteFile("/held.xml", served));
  struct Planter : DownloadNotifyTarget {
    void Notify(uint32_t, const std::wstring&) override {
      if (tries++ == 0) {
        WriteBytes(planted, "<planted/>");
        swapped = platform::MoveFileReplacing(planted, part);
      }
    }
    std::wstring planted, part;
    int tries = 0;
    bool swapped = false;
  } planter;
  planter.planted = dir_.File(L"planted.xml");
  planter.part = local_ + kDownloadPartSuffix;
  platform::HeldFile held;
  DownloadRequest request{server_.Url("/held.xml"), local_, 0, &planter, kMessage};
  request.hold = &held;
  const bool downloaded = HttpDownloader().Download(request);
  ASSERT_GT(planter.tries, 0);
#ifdef _WIN32
  EXPECT_FALSE(planter.swapped);
  EXPECT_TRUE(downloaded);
#else
  EXPECT_TRUE(planter.swapped);
#endif
  EXPECT_EQ(downloaded, held.IsOpen());
  if (!held.IsOpen()) return;
  std::string bytes(served.size() + 1, '\0');
  size_t got = 0, total = 0;
  while (held.Read(&bytes[total], bytes.size() - total, &got) && got > 0) total += got;
  bytes.resize(total);
  EXPECT_TRUE(SameBytes(served, bytes));
  EXPECT_TRUE(held.Unchanged());
}

TEST(VerifyPackageHash, Md5OfTheFileAgainstTheConfiguredText) {
  tavo_test::TempDir dir;
  tavo_test::LogCapture log;
  const std::wstring path = dir.File(L"file.bin");
  // md5sum's digests of Pattern(size), for sizes around the reading block.
  const std::pair<size_t, std::wstring> digests[] = {
      {0, L"d41d8cd98f00b204e9800998ecf8427e"},     {1, L"93b885adfe0da089cdf634904fd59f71"},
      {63999, L"47b08fedc24fb7d50125fff36b28feff"}, {64000, L"37816152c91b4d73fe3a7faeb4371cd5"},
      {64001, L"681ebdb883b8e4530d8464c5aa5a0783"}, {200000, L"78bcc89c082c48f2f68843beca96b86b"}};
  for (const auto& [size, md5] : digests) {
    ASSERT_TRUE(WriteBytes(path, Pattern(size)));
    std::wstring digest;
    ASSERT_TRUE(ComputeFileMd5(path, &digest));
    EXPECT_EQ(md5, digest) << size;
    EXPECT_TRUE(VerifyPackageHash(path, md5) && !VerifyPackageHash(path, md5.substr(1))) << size;
  }
  ASSERT_TRUE(WriteBytes(path, "abc"));
  const std::pair<std::wstring, bool> texts[] = {
      {L"900150983cd24fb0d6963f7d28e17f72", true},     {L"900150983Cd24fb0D6963f7d28E17F72", true},
      {L"900150983cd24fb0\r\nd6963f7d28e17f72", true}, {L"900150983cd24fb0\nd6963f7d28e17f72", true},
      {L"900150983cd24fb0d6963f7d28e17f72\r\n", true}, {L"900150983cd24fb0 d6963f7d28e17f72", false},
      {L"00000000000000000000000000000000", false},   {L"", false}, {L"0", true}, {L"00", false}};
  for (const auto& [text, ok] : texts) EXPECT_EQ(ok, VerifyPackageHash(path, text));
  // "0" alone turns the check off, even for a file that is not there; any other text needs the file.
  EXPECT_TRUE(VerifyPackageHash(dir.File(L"missing.bin"), L"0"));
  EXPECT_FALSE(VerifyPackageHash(dir.File(L"missing.bin"), L"d41d8cd98f00b204e9800998ecf8427e"));
}

}  // namespace
