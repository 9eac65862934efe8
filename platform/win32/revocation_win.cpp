#include "platform/win32/revocation_win.h"

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

namespace platform {

bool IsRevocationUnknown(LONG verdict) {
  return verdict == static_cast<LONG>(CERT_E_REVOCATION_FAILURE) ||
         verdict == static_cast<LONG>(CRYPT_E_REVOCATION_OFFLINE) ||
         verdict == static_cast<LONG>(CRYPT_E_NO_REVOCATION_CHECK);
}

RevocationRequest RevocationRequestFor(bool releaseBuild) {
  if (releaseBuild) return {WTD_REVOKE_WHOLECHAIN, WTD_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT};
  return {WTD_REVOKE_WHOLECHAIN, WTD_CACHE_ONLY_URL_RETRIEVAL};
}

bool AcceptedWithoutRevocation(LONG verdict, bool releaseBuild) {
  if (!IsRevocationUnknown(verdict)) return false;
  return !releaseBuild || verdict != static_cast<LONG>(CRYPT_E_REVOCATION_OFFLINE);
}

}  // namespace platform
