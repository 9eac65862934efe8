#pragma once
#include <string>

namespace platform {

// The text in the system's multibyte code page (the ANSI code page on
// Windows, UTF-8 on the simulated machine); characters the code page lacks
// become its default character.
std::string WideToSystemCodePage(const std::wstring& text);

}  // namespace platform
