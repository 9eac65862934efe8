#pragma once
#include <cstdint>

#include "base/window_messages.h"

// Notifications of the custom buttons to their page (both parameters 0).
constexpr uint32_t WM_TITLEBTN_SETFOCUS = kWmApp + 3001;
constexpr uint32_t WM_TITLEBTN_KILLFOCUS = kWmApp + 3002;
constexpr uint32_t WM_TITLEBTN_HOVER = kWmApp + 3003;
constexpr uint32_t WM_TITLEBTN_LEAVE = kWmApp + 3004;
constexpr uint32_t WM_PAGEBTN_SETFOCUS = kWmApp + 3011;
constexpr uint32_t WM_PAGEBTN_KILLFOCUS = kWmApp + 3012;
constexpr uint32_t WM_PAGEBTN_HOVER = kWmApp + 3013;
constexpr uint32_t WM_PAGEBTN_LEAVE = kWmApp + 3014;

// Colours (COLORREF: red in the low byte).
constexpr uint32_t LABEL_COLOUR = 0x3D3D3D;
constexpr uint32_t LINK_COLOUR = 0xCC6600;
constexpr uint32_t WHITE_COLOUR = 0xFFFFFF;
constexpr uint32_t TITLE_BACKGROUND_COLOUR = 0xDDDBBD;
constexpr uint32_t WARNING_COLOUR = 0x0000FF;
