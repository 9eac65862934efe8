#pragma once
#include <cstdint>
#include <string>

// One notice of the notification data file.
struct NotificationItem {
  std::wstring Title;           // "_BR_" already replaced by CR LF
  std::wstring Url;
  int32_t ConditionType = 0;
  std::wstring ConditionText;   // condition types 1 and 5
  int32_t ConditionValue = 0;   // all other condition types
  uint32_t Color = 0;           // red in the low byte, then green, then blue
};
