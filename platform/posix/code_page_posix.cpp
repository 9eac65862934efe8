#include "platform/code_page.h"

#include "platform/utf.h"

namespace platform {

// File names of the simulated machine are UTF-8, its only multibyte code page.
std::string WideToSystemCodePage(const std::wstring& text) { return WideToUtf8(text); }

}  // namespace platform
