#pragma once
#include <windows.h>

namespace platform {

// What WinVerifyTrust is asked about revocation.
//
// A release build asks about every certificate of the chain but the root,
// and lets the system fetch the CA's list or answer when it has none cached:
// a machine that never fetched it would otherwise go on trusting a revoked
// key. The system bounds each fetch in time (15 s a request, 20 s in all by
// default). A development build looks only in the cache, as before: it
// trusts no vendor key, and must not wait on the network for a check that
// decides nothing.
struct RevocationRequest {
  DWORD checks;         // WINTRUST_DATA.fdwRevocationChecks
  DWORD providerFlags;  // WINTRUST_DATA.dwProvFlags
};
RevocationRequest RevocationRequestFor(bool releaseBuild);

// Whether a signature that is valid apart from its unknown revocation state
// (the verdict with revocation asked for) is accepted, with a line. A
// release build refuses it when the CA's answer could not be had
// (CRYPT_E_REVOCATION_OFFLINE: offline, or the answer held back by whoever is
// on the network path); it accepts a chain whose CA offers no revocation
// information at all. A development build accepts both.
bool AcceptedWithoutRevocation(LONG verdict, bool releaseBuild);

// True for the verdicts of a signature whose revocation state could not be
// learnt.
bool IsRevocationUnknown(LONG verdict);

}  // namespace platform
