// The retry rules of every download: each server in turn, and three attempts with the marker's wait between them.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "net/retry_chain.h"
#include "tests/support/temp_dir.h"

namespace {

using Urls = std::vector<std::wstring>;

// Answers from a script, one outcome per call, and remembers what it was asked for.
struct ScriptedDownloader : Downloader {
  explicit ScriptedDownloader(std::vector<bool> script) : outcomes(std::move(script)) {}
  bool Download(const DownloadRequest& request) override {
    urls.push_back(request.url);
    resumable.push_back(request.resume != nullptr);
    return urls.size() <= outcomes.size() && outcomes[urls.size() - 1];
  }
  std::vector<bool> outcomes;
  Urls urls;
  std::vector<bool> resumable;
};

struct RecordingClock : WaitClock {
  void Wait(uint32_t ms) override { waits.push_back(ms); }
  std::vector<uint32_t> waits;
};

TEST(RetryChain, ThreeAttemptsWithTheMarkerWaitOnlyBetweenThem) {
  const uint32_t m = kRetryWaitMs;
  const struct {
    std::vector<bool> outcomes;  // one per attempt made
    bool marker;
    bool ok;
    std::vector<int> failed;  // the attempts reported as failed
    std::vector<uint32_t> waits;
    bool afterLast = false;  // the marker's wait follows the last failure too
    bool checked = true;     // a resumed file can be checked whole, so attempts resume
  } rows[] = {
      {{true}, true, true, {}, {}},                     {{false, true}, true, true, {0}, {m}},
      {{false, false, true}, false, true, {0, 1}, {}}, {{false, false, true}, true, true, {0, 1}, {m, m}},
      {{false, false, false}, false, false, {0, 1, 2}, {}},
      {{false, false, false}, true, false, {0, 1, 2}, {m, m}},  // no wait after the last attempt
      {{false, false, false}, true, false, {0, 1, 2}, {m, m, m}, true, false},
      {{false, false, false}, false, false, {0, 1, 2}, {}, true, false},
      {{false, true}, true, true, {0}, {m}, true, false},
  };
  for (const auto& row : rows) {
    tavo_test::TempDir work;
    if (row.marker) {
      ASSERT_TRUE(tavo_test::WriteBytes(work.File(kRetryMarkerFileName), ""));
    }
    ScriptedDownloader fake(row.outcomes);
    RecordingClock clock;
    std::vector<int> failed;
    const DownloadRequest request{L"http://127.0.0.1:1/a.msi", work.File(L"a.msi")};
    std::function<bool(const std::wstring&)> check = [](const std::wstring&) { return true; };
    EXPECT_EQ(row.ok, DownloadWithRetries(fake, request, work.path(), clock, [&](int n) { failed.push_back(n); },
                                          row.checked ? check : nullptr, row.afterLast));
    EXPECT_EQ(Urls(row.outcomes.size(), request.url), fake.urls);
    EXPECT_EQ(std::vector<bool>(row.outcomes.size(), row.checked), fake.resumable);
    EXPECT_EQ(row.failed, failed);
    EXPECT_EQ(row.waits, clock.waits) << "marker " << row.marker << ", attempts " << row.outcomes.size();
  }
}

TEST(RetryChain, EachServerInTurnUntilOneSucceeds) {
  const struct {
    Urls servers;
    std::vector<bool> outcomes;
    Urls tried;
  } rows[] = {
      {{}, {}, {}}, {{L"http://a", L"http://b/"}, {true}, {L"http://a/f.xml"}},
      {{L"http://a/", L"", L"http://b"}, {false, true}, {L"http://a/f.xml", L"http://b/f.xml"}},
      {{L"http://a", L"http://b"}, {false, false}, {L"http://a/f.xml", L"http://b/f.xml"}},
  };
  for (const auto& row : rows) {
    ScriptedDownloader downloader(row.outcomes);
    std::vector<bool> reported;
    const bool ok = TryEachServer(
        row.servers, L"f.xml", [&](const std::wstring& url) { return downloader.Download({url, L""}); },
        [&](const std::wstring&, bool succeeded) { reported.push_back(succeeded); });
    EXPECT_EQ(row.outcomes.size() > 0 && row.outcomes.back(), ok);
    EXPECT_EQ(row.tried, downloader.urls);
    EXPECT_EQ(row.outcomes, reported);
  }
}

}  // namespace
