#pragma once
#include <cstdint>

#include "trust/vendor_keys.h"

namespace platform {
class HeldFile;
}
struct PackageEntry;

namespace trust {

// What a refused or accepted program is, in the log lines: a program the
// launcher runs or installs, or a downloaded launcher it would start.
enum class SignedProgramKind { kProgram, kNewLauncher };

// Writes the log lines of a verdict on the held file: nothing for a
// development build, a confirmation, or the reason for the refusal. True when
// the verdict lets the program run.
bool LogSignatureVerdict(TrustVerdict verdict, const platform::HeldFile& file, SignedProgramKind kind,
                         uint32_t systemError = 0);

// Whether the held program may run elevated: a release build runs only what
// a vendor key signed, read through the hold each time it is asked, so that
// the check right before a start is of the file that starts. Logged as above.
bool VendorSignatureAccepted(const platform::HeldFile& file);

// Whether the held, downloaded launcher may replace the running one: a
// release build starts only a newer launcher signed by a vendor key; a
// development build only one signed like itself (an unsigned one: any).
bool NewLauncherAccepted(platform::HeldFile& file);

// Whether the held package file is the one its entry names by PackageSha256:
// checked whenever the entry gives it; a release build requires it of every
// package it runs. Logged; a development build says nothing of an entry
// without it.
bool PackageSha256Accepted(platform::HeldFile& file, const PackageEntry& package);

}  // namespace trust
