#pragma once
#include <cstdint>

#include "config/download_config.h"

namespace applicability {

enum class Os { Any, ThisOne, Another };

struct Case {
  const char* name;
  int32_t architecture;
  int32_t productType;
  int32_t settingsProductType;
  Os targetOs;
  int32_t isManual;
  int32_t launcherVersion;
  bool on64;  // applicable on 64-bit Windows
  bool on32;  // applicable on 32-bit Windows
};

// Every rule of the package filter, on both kinds of machine.
const Case kCases[] = {
    {"AnyArchAnyEdition99", 99, 99, 1, Os::Any, 0, 130, true, true},
    {"AnyArchAnyEdition97", 99, 97, 1, Os::Any, 0, 130, true, true},
    {"AnyArchAnyEdition97ForTtsp", 99, 97, 6, Os::Any, 0, 130, true, true},
    {"AnyArchSameEdition", 99, 2, 2, Os::Any, 0, 130, true, true},
    {"AnyArchOtherEdition", 99, 2, 1, Os::Any, 0, 130, false, false},
    {"X64SameEdition", 1, 1, 1, Os::Any, 0, 130, true, false},
    {"X86SameEdition", 0, 1, 1, Os::Any, 0, 130, false, true},
    {"X64OtherEdition", 1, 5, 1, Os::Any, 0, 130, false, false},
    {"X86OtherEdition", 0, 5, 1, Os::Any, 0, 130, false, false},
    // 97 and 99 are no wildcard unless the architecture is 99.
    {"X64Edition97", 1, 97, 1, Os::Any, 0, 130, false, false},
    {"X64Edition97WhenSettingsSay97", 1, 97, 97, Os::Any, 0, 130, true, false},
    {"X86Edition99", 0, 99, 1, Os::Any, 0, 130, false, false},
    {"X86Edition99WhenSettingsSay99", 0, 99, 99, Os::Any, 0, 130, false, true},
    {"UnknownArchitecture", 2, 1, 1, Os::Any, 0, 130, false, false},
    {"TargetOsThisOne", 99, 99, 1, Os::ThisOne, 0, 130, true, true},
    {"TargetOsAnother", 99, 99, 1, Os::Another, 0, 130, false, false},
    {"X64TargetOsThisOne", 1, 1, 1, Os::ThisOne, 0, 130, true, false},
    {"Manual", 99, 99, 1, Os::Any, 1, 130, false, false},
    {"ManualAnyValue", 99, 99, 1, Os::Any, -1, 130, false, false},
    {"Launcher131", 99, 99, 1, Os::Any, 0, 131, true, true},
    {"Launcher129", 99, 99, 1, Os::Any, 0, 129, false, false},
    {"Launcher132", 99, 99, 1, Os::Any, 0, 132, false, false},
    {"Launcher0", 99, 99, 1, Os::Any, 0, 0, false, false},
};

}  // namespace applicability
