#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/code_signature.h"

// The vendor keys and the version compiled into this launcher, and what they
// let run.
namespace trust {

// The digests of the vendor's signing keys this build trusts; empty in a
// development build, which then checks no program against them.
const std::vector<std::string>& PinnedSignerKeys();
// This launcher's own version, as DownloaderVersion counts, and as the file
// version of its version resource: major.minor.build.0 with
// version = major * 1000000 + minor * 1000 + build.
uint32_t LauncherVersion();
uint64_t FileVersionOf(uint32_t launcherVersion);

enum class TrustVerdict {
  kSkipped,                    // no vendor keys: a development build checks nothing
  kAccepted,                   // signed by a vendor key
  kAcceptedWithoutRevocation,  // signed by a vendor key; revocation could not be checked offline
  kNotTrusted,                 // no signature the system accepts
  kRevoked,                    // a certificate is known to be revoked
  kOtherSigner,                // a valid signature by a key that is not the vendor's
  kNotNewer,                   // a launcher that is not newer than the running one
};

bool IsAccepted(TrustVerdict verdict);

// Whether a program may run elevated.
TrustVerdict JudgeProgram(const std::vector<std::string>& pins, const platform::SignatureFacts& facts);
// Whether a downloaded launcher may replace the running one: a program check,
// and its file version (hasVersion false: none readable) above the running one's.
TrustVerdict JudgeNewLauncher(const std::vector<std::string>& pins, const platform::SignatureFacts& facts, bool hasVersion,
                              uint64_t fileVersion, uint64_t runningFileVersion);

}  // namespace trust
