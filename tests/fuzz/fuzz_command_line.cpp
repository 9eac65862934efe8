#include <string>

#include "platform/cmdline_split.h"
#include "platform/utf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring line = platform::Utf8ToWide(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<std::wstring> args = platform::SplitWindowsCommandLine(line);
  // The program name always comes back; no argument is longer than the line.
  if (args.empty()) __builtin_trap();
  for (const auto& a : args)
    if (a.size() > line.size()) __builtin_trap();
  return 0;
}
