#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Button sets and icons, with the values of the Windows message box.
constexpr uint32_t kMbOk = 0x0;
constexpr uint32_t kMbYesNo = 0x4;
constexpr uint32_t kMbIconError = 0x10;
constexpr uint32_t kMbIconQuestion = 0x20;
constexpr uint32_t kMbIconInformation = 0x40;
constexpr uint32_t kMbTopmost = 0x40000;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// Shows a modal message box; returns the button chosen. owner may be null.
int ShowMessageBox(void* owner, const std::wstring& text, const std::wstring& caption, uint32_t type);

// The Linux build's front end routes message boxes through its own screen;
// null restores the plain terminal box.
using MessageBoxHandler = int (*)(void* owner, const std::wstring& text, const std::wstring& caption,
                                  uint32_t type);
void SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform
