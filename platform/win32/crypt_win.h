#pragma once
// wintrust.dll and crypt32.dll are no KnownDLLs: their functions are loaded
// from the system folder when first needed, never imported.
#include <windows.h>
#include <wincrypt.h>

#include <string>

#include "platform/win32/system_library_win.h"

namespace platform {

const wchar_t kWinTrust[] = L"wintrust.dll";
const wchar_t kCrypt32[] = L"crypt32.dll";

template <typename Fn>
Fn TrustFunction(const char* name, const wchar_t* library = kWinTrust) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(SystemLibraryFunction(library, name)));
}

// The SHA-256 digest, in lower-case hex, of the certificate's public key as
// DER SubjectPublicKeyInfo: what "openssl pkey -pubin -outform DER | sha256sum"
// gives for the vendor's certificate. Empty when it cannot be computed.
std::string PublicKeyDigest(const CERT_CONTEXT* certificate);

}  // namespace platform
