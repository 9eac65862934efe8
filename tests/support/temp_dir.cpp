#include "tests/support/temp_dir.h"

#include <atomic>
#include <filesystem>

#include "base/paths.h"
#include "base/text.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/process.h"
#include "platform/utf.h"

namespace tavo_test {

namespace {
std::atomic<unsigned> g_counter{0};
}

TempDir::TempDir() {
  std::wstring base = platform::GetTempFolder();
  for (;;) {
    std::wstring candidate = FormatText(L"%lstavo-test-%u-%u-%llu", EnsureTrailingSeparator(base).c_str(),
                                        platform::CurrentProcessId(), g_counter.fetch_add(1),
                                        static_cast<unsigned long long>(platform::TickCountMs()));
    if (!platform::FolderExists(candidate) && platform::CreateFolder(candidate)) {
      path_ = EnsureTrailingSeparator(candidate);
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(path_), ignored);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) { return platform::WriteWholeFile(path, bytes); }

std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, &bytes)) bytes.clear();
  return bytes;
}

std::string Utf8(const std::wstring& text) { return platform::WideToUtf8(text); }

}  // namespace tavo_test
