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
  FontSpec spec;
  if (UsesLegacyUiFont(code)) {
    spec.face = L"MS UI Gothic";
    spec.titleHeight = spec.titleHeight2 = 27;
    spec.bodyHeight = spec.bodyHeight2 = 15;
  } else {
    spec.face = L"メイリオ";
    spec.titleHeight = spec.titleHeight2 = 32;
    spec.bodyHeight = spec.bodyHeight2 = 22;
  }
  return spec;
}

FontSpec ChooseUiFont() { return UiFontFor(GetOsCode()); }

std::wstring ChooseUiFaceName() { return ChooseUiFont().face; }

int32_t NoticeListFontHeight(OsCode code) { return UsesLegacyUiFont(code) ? 17 : 20; }
