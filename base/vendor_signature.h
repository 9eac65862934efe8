#pragma once
#include <cstdint>

#include "platform/code_signature.h"

namespace platform {
class HeldFile;
}

// What a refused or accepted program is, in the log lines: a program the
// launcher runs or installs, or a downloaded launcher it would start.
enum class SignedProgramKind { kProgram, kNewLauncher };

// Writes the log lines of a verdict on the held file: nothing for a
// development build, a confirmation, or the reason for the refusal. True when
// the verdict lets the program run.
bool LogSignatureVerdict(platform::TrustVerdict verdict, const platform::HeldFile& file, SignedProgramKind kind,
                         uint32_t systemError = 0);

// Whether the held program may run elevated: a release build runs only what
// a vendor key signed. Logged as above.
bool VendorSignatureAccepted(const platform::HeldFile& file);
