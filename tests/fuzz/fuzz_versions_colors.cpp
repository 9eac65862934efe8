#include <string>

#include "config/notification_data.h"
#include "env/installed_edition.h"
#include "platform/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t split = bytes.find('\n');
  std::wstring a = platform::Utf8ToWide(bytes.substr(0, split));
  std::wstring b = split == std::string::npos ? std::wstring() : platform::Utf8ToWide(bytes.substr(split + 1));
  int ab = CompareVersions(a, b);
  int ba = CompareVersions(b, a);
  // Comparison is antisymmetric.
  if ((ab == kVersionOlder) != (ba == kVersionNewer)) __builtin_trap();
  if ((ab == kVersionsEqual) != (ba == kVersionsEqual)) __builtin_trap();
  ParseColor(a);
  ParseColor(b);
  return 0;
}
