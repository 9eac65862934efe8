#include "ui/font_rule.h"

bool UsesLegacyUiFont(OsCode code) {
  switch (code) {
    case 4:   // Windows Server 2003 R2 x64
    case 5:   // Windows Server 2003 R2 x86
    case 6:   // Windows Server 2003 x64
    case 7:   // Windows Server 2003 x86
    case 8:   // Windows 2000 Server
    case 13:  // Windows XP x64
    case 14:  // Windows XP x86
    case 15:  // Windows 2000 Professional
      return true;
    default:
      return false;
  }
}

FontSpec UiFontFor(OsCode code) {
  FontSpec fontSpec;
  if (UsesLegacyUiFont(code)) {
    fontSpec.face = L"MS UI Gothic";
    fontSpec.titleHeight = fontSpec.titleHeight2 = 27;
    fontSpec.bodyHeight = fontSpec.bodyHeight2 = 15;
  } else {
    fontSpec.face = L"メイリオ";
    fontSpec.titleHeight = fontSpec.titleHeight2 = 32;
    fontSpec.bodyHeight = fontSpec.bodyHeight2 = 22;
  }
  return fontSpec;
}

FontSpec ChooseUiFont() { return UiFontFor(GetOsCode()); }

std::wstring ChooseUiFaceName() { return ChooseUiFont().face; }

int32_t NoticeListFontHeight(OsCode code) { return UsesLegacyUiFont(code) ? 17 : 20; }
