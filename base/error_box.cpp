#include "base/error_box.h"

#include "base/text.h"
#include "platform/error.h"
#include "platform/message_box.h"

void ShowErrorBox(void* owner, const std::wstring& caption, const std::wstring& text) {
  const int code = static_cast<int>(platform::LastError());
  platform::ShowMessageBox(owner, FormatText(L"%ls (ErrorNumber=%d)", text.c_str(), code), caption,
                           platform::kMbOk | platform::kMbIconError);
}
