// The Authenticode backend under Wine: programs signed in the test by keys made in the test.
#include <gtest/gtest.h>
#include <windows.h>
#include <wintrust.h>

#include <string>

#include "base/paths.h"
#include "platform/code_signature.h"
#include "platform/folders.h"
#include "platform/held_file.h"
#include "platform/win32/revocation_win.h"
#include "tests/support/loopback_server.h"
#include "trust/vendor_keys.h"

namespace {

using platform::SignatureStatus;

std::wstring Signed(const wchar_t* name) {
  return ParentFolder(platform::GetModulePath()) + L"signed\\" + name;
}

std::string Digest(const wchar_t* name) {
  platform::HeldFile file;
  char digest[64] = {};
  size_t got = 0;
  if (!file.Open(Signed(name)) || !file.Read(digest, sizeof(digest), &got)) return std::string();
  return std::string(digest, got);
}

TEST(CodeSignatureWin, TheSignerKeyDigestIsReadThroughTheHold) {
  const struct {
    const wchar_t* file;
    bool accepted;
    const wchar_t* key;  // the digest file of the expected signer
    uint32_t error;      // the system's verdict when refused
  } cases[] = {
      {L"vendor.exe", true, L"vendor.digest", 0},
      {L"other.exe", true, L"other.digest", 0},
      {L"unsigned.exe", false, nullptr, 0x800B0100u},  // TRUST_E_NOSIGNATURE
      {L"changed.exe", false, nullptr, 0x80096010u},   // TRUST_E_BAD_DIGEST
  };
  ASSERT_EQ(64u, Digest(L"vendor.digest").size());
  ASSERT_NE(Digest(L"vendor.digest"), Digest(L"other.digest"));
  for (const auto& c : cases) {
    platform::HeldFile file;
    ASSERT_TRUE(file.Open(Signed(c.file)));
    const platform::SignatureFacts facts = platform::ReadSignature(file, false);
    const std::string name(c.file, c.file + wcslen(c.file));
    EXPECT_TRUE(platform::NamedWithoutLinks(file)) << name;
    if (c.accepted) {
      // No revocation information for a test root: offline on Windows, not looked for by Wine.
      EXPECT_TRUE(facts.status == SignatureStatus::kValid || facts.status == SignatureStatus::kRevocationUnknown) << name;
      EXPECT_EQ(Digest(c.key), facts.signerKey) << name;
    } else {
      EXPECT_EQ(SignatureStatus::kNotTrusted, facts.status) << name;
      EXPECT_EQ(c.error, facts.error) << name;
      EXPECT_TRUE(facts.signerKey.empty()) << name;
    }
  }
}

TEST(CodeSignatureWin, TheLauncherCarriesItsVersionAsItsFileVersion) {
  platform::HeldFile setup, plain;
  ASSERT_TRUE(setup.Open(tavo_test::HostPathToNative(TAVO_SETUP_EXE)));
  uint64_t version = 0;
  ASSERT_TRUE(platform::ReadProgramFileVersion(setup, &version));
  EXPECT_EQ(trust::FileVersionOf(trust::LauncherVersion()), version);
  ASSERT_TRUE(plain.Open(Signed(L"vendor.exe")));
  EXPECT_FALSE(platform::ReadProgramFileVersion(plain, &version)) << "a program without a version resource";
}

// A release build lets the system fetch revocation answers it has not cached, and refuses a chain whose CA could
// not be asked; a development build looks only in the cache and accepts an unknown state with a line.
TEST(CodeSignatureWin, RevocationIsAskedForAndJudgedByTheBuild) {
  const platform::RevocationRequest release = platform::RevocationRequestFor(true);
  const platform::RevocationRequest development = platform::RevocationRequestFor(false);
  EXPECT_EQ(static_cast<DWORD>(WTD_REVOKE_WHOLECHAIN), release.checks);
  EXPECT_EQ(0u, release.providerFlags & WTD_CACHE_ONLY_URL_RETRIEVAL) << "a release build fetches what is not cached";
  EXPECT_EQ(static_cast<DWORD>(WTD_REVOKE_WHOLECHAIN), development.checks);
  EXPECT_NE(0u, development.providerFlags & WTD_CACHE_ONLY_URL_RETRIEVAL);
  const struct {
    HRESULT verdict;
    bool release, development;
  } cases[] = {
      {CRYPT_E_REVOCATION_OFFLINE, false, true},  // the CA could not be asked: offline, or held back
      {CRYPT_E_NO_REVOCATION_CHECK, true, true},  // the CA offers no revocation information
      {CERT_E_REVOCATION_FAILURE, true, true},
      {CERT_E_REVOKED, false, false},
      {TRUST_E_NOSIGNATURE, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.release, platform::AcceptedWithoutRevocation(c.verdict, true)) << std::hex << c.verdict;
    EXPECT_EQ(c.development, platform::AcceptedWithoutRevocation(c.verdict, false)) << std::hex << c.verdict;
  }
}

}  // namespace
