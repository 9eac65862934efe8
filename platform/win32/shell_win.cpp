#include <windows.h>
#include <shellapi.h>

#include "platform/shell.h"

namespace platform {

intptr_t ShellOpen(const std::wstring& file, const std::wstring& parameters) {
  HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                                   nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<intptr_t>(result);
}

}  // namespace platform
