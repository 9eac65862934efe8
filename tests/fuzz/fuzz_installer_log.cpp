// The product installer's log, as UTF-16 text of any content.
#include "install/install_result.h"
#include "tests/fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  // The first four bytes choose the code the numbers are compared with.
  int32_t code = static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24);
  const std::vector<std::wstring> lines = LogLines(FuzzBytes(data + 4, size - 4));
  ClassifyInstallerLog(lines);
  ExtractInstallerErrorNumbers(lines, code);
  return 0;
}
