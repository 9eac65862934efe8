#pragma once
#include <string>

// A message box with the error icon whose text is "<text> (ErrorNumber=<the
// calling thread's last system error>)".
void ShowErrorBox(void* owner, const std::wstring& caption, const std::wstring& text);
