#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/download_notify.h"
#include "tests/support/loopback_server.h"

namespace net_test {

// Deterministic bytes that differ from block to block.
inline std::string Pattern(size_t size, unsigned seed = 0) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251 + seed) & 0xff);
  return bytes;
}

// Compares two byte strings without printing them whole.
inline ::testing::AssertionResult SameBytes(const std::string& expected, const std::string& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  return ::testing::AssertionFailure() << "expected " << expected.size() << " bytes, got " << actual.size()
                                       << ", first difference at offset " << at;
}

// Records every progress notification.
class RecordingTarget : public DownloadNotifyTarget {
 public:
  void Notify(uint32_t message, const std::wstring& text) override {
    messages.push_back(message);
    texts.push_back(text);
  }
  std::vector<uint32_t> messages;
  std::vector<std::wstring> texts;
};

// Starts the loopback server or fails the test.
#define START_LOOPBACK_SERVER(server)                         \
  do {                                                        \
    std::string startError;                                   \
    ASSERT_TRUE((server).Start(&startError)) << startError;   \
  } while (0)

}  // namespace net_test
