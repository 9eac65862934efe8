#pragma once
#include <cstdint>
#include <string>

#include "env/os_detection.h"

// The fonts of the wizard's labels. Heights are LOGFONT heights in pixels
// (positive: cell height).
struct FontSpec {
  std::wstring face;
  int32_t titleHeight = 0;
  int32_t titleHeight2 = 0;  // the page-title slot, same value
  int32_t bodyHeight = 0;
  int32_t bodyHeight2 = 0;   // the body slot, same value
};

// The systems of the 2000 / XP / Server 2003 era, whose Japanese UI font is
// "MS UI Gothic"; every other system (and an unrecognised one) has Meiryo.
bool UsesLegacyUiFont(OsCode code);

// The label fonts for a system; ChooseUiFont asks the running system.
FontSpec UiFontFor(OsCode code);
FontSpec ChooseUiFont();
// Only the face name.
std::wstring ChooseUiFaceName();

// Pixel height of the notices list's font.
int32_t NoticeListFontHeight(OsCode code);
