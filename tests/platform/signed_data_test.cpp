// The detached CMS check of each build (OpenSSL; CryptoAPI under Wine), over signatures openssl made.
#include <gtest/gtest.h>

#include <string>

#include "base/paths.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/signed_data.h"
#include "platform/utf.h"

namespace {

std::string Bytes(const char* name) {
  std::string data;
  const std::wstring folder = JoinPath(ParentFolder(platform::GetModulePath()), L"answers");
  EXPECT_TRUE(platform::ReadWholeFile(JoinPath(folder, platform::Utf8ToWide(name)), &data)) << name;
  return data;
}

TEST(SignedData, OnlyTheExactContentUnderAnIntactSignatureIsValid) {
  const std::string content = Bytes("answer.xml");
  const std::string vendor = Bytes("vendor.sig");
  std::string changedContent = content, changedSignature = vendor;
  changedContent[changedContent.size() / 2] ^= 1;
  changedSignature[changedSignature.size() - 1] ^= 1;  // the signature value ends the message
  const struct {
    const char* what;
    std::string content, signature;
    const char* signer;  // digest file of the expected signer; null: not valid
  } cases[] = {
      {"vendor", content, vendor, "vendor.digest"},
      {"other key", content, Bytes("other.sig"), "other.digest"},
      {"content changed", changedContent, vendor, nullptr},
      {"content cut", content.substr(0, content.size() - 1), vendor, nullptr},
      {"signature changed", content, changedSignature, nullptr},
      {"no signature", content, "", nullptr},
      {"not a signature", content, content, nullptr},
  };
  ASSERT_EQ(64u, Bytes("vendor.digest").size());
  for (const auto& c : cases) {
    const platform::SignedDataFacts facts = platform::VerifyDetachedSignedData(c.content, c.signature);
    EXPECT_EQ(c.signer != nullptr, facts.valid) << c.what;
    if (c.signer) {
      EXPECT_EQ(Bytes(c.signer), facts.signerKey) << c.what;
      EXPECT_EQ("2.16.840.1.101.3.4.2.1", facts.digestOid) << c.what;
      // Signed minutes before the test, never in the distant past or future.
      EXPECT_TRUE(facts.hasSigningTime) << c.what;
      EXPECT_LT(1700000000, facts.signingTime) << c.what;
      EXPECT_GT(4102444800, facts.signingTime) << c.what;
    } else {
      EXPECT_NE(0u, facts.error) << c.what;
    }
  }
}

}  // namespace
