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

// One argument in double quotes, written so that the splitter above gives it
// back unchanged: a quote inside becomes \", and backslashes before a quote
// or before the closing quote are doubled.
std::wstring QuoteWindowsArgument(const std::wstring& argument);

// A program path in double quotes for the start of a command line. The
// program name takes no escapes, so a path holding a quote cannot be written:
// the result is then empty, a command line that starts nothing.
std::wstring QuoteWindowsProgram(const std::wstring& path);

}  // namespace platform
