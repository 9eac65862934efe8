#pragma once
#include <string>
#include <vector>

namespace platform {

// Splits a Windows command line exactly as CommandLineToArgvW does: the program
// name ends at the first blank or tab, or at its closing quote; later
// arguments follow the backslash and quote rules of the system. An empty
// command line gives one empty program name (the system would substitute the
// module path there).
std::vector<std::wstring> SplitWindowsCommandLine(const std::wstring& commandLine);

}  // namespace platform
