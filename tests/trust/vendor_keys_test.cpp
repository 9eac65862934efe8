// What a release build accepts of a signed program, and how it reads a program's version.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/code_signature.h"
#include "trust/vendor_keys.h"

namespace {

using platform::SignatureStatus;
using trust::TrustVerdict;

const std::string kVendor(64, 'a'), kNextVendor(64, 'b'), kStranger(64, 'c');

TEST(VendorKeys, WhatRunsDependsOnSignatureKeyRevocationAndVersion) {
  const std::vector<std::string> pins = {kVendor, kNextVendor};
  const uint64_t running = trust::FileVersionOf(2000100);
  const struct {
    const char* what;
    std::vector<std::string> pins;
    SignatureStatus status;
    std::string key;
    TrustVerdict program;   // as a package, a local installer or the scanner library
    bool hasVersion;
    uint64_t version;
    TrustVerdict launcher;  // as a downloaded launcher
  } cases[] = {
      {"development build: nothing checked", {}, SignatureStatus::kNotTrusted, "", TrustVerdict::kSkipped, false, 0,
       TrustVerdict::kSkipped},
      {"vendor key, newer", pins, SignatureStatus::kValid, kVendor, TrustVerdict::kAccepted, true,
       trust::FileVersionOf(2000101), TrustVerdict::kAccepted},
      {"second vendor key", pins, SignatureStatus::kValid, kNextVendor, TrustVerdict::kAccepted, true,
       trust::FileVersionOf(2001000), TrustVerdict::kAccepted},
      {"offline: accepted", pins, SignatureStatus::kRevocationUnknown, kVendor, TrustVerdict::kAcceptedWithoutRevocation,
       true, trust::FileVersionOf(3000000), TrustVerdict::kAcceptedWithoutRevocation},
      {"same version", pins, SignatureStatus::kValid, kVendor, TrustVerdict::kAccepted, true, running,
       TrustVerdict::kNotNewer},
      {"older version", pins, SignatureStatus::kValid, kVendor, TrustVerdict::kAccepted, true,
       trust::FileVersionOf(1999999), TrustVerdict::kNotNewer},
      {"no version resource", pins, SignatureStatus::kValid, kVendor, TrustVerdict::kAccepted, false, 0,
       TrustVerdict::kNotNewer},
      {"revoked", pins, SignatureStatus::kRevoked, kVendor, TrustVerdict::kRevoked, true,
       trust::FileVersionOf(3000000), TrustVerdict::kRevoked},
      {"unsigned or changed", pins, SignatureStatus::kNotTrusted, "", TrustVerdict::kNotTrusted, true,
       trust::FileVersionOf(3000000), TrustVerdict::kNotTrusted},
      {"another key", pins, SignatureStatus::kValid, kStranger, TrustVerdict::kOtherSigner, true,
       trust::FileVersionOf(3000000), TrustVerdict::kOtherSigner},
      {"key unreadable", pins, SignatureStatus::kValid, "", TrustVerdict::kOtherSigner, true,
       trust::FileVersionOf(3000000), TrustVerdict::kOtherSigner},
      {"upper-case digest is no pin", pins, SignatureStatus::kValid, std::string(64, 'A'), TrustVerdict::kOtherSigner,
       true, trust::FileVersionOf(3000000), TrustVerdict::kOtherSigner},
  };
  for (const auto& c : cases) {
    platform::SignatureFacts facts;
    facts.status = c.status;
    facts.signerKey = c.key;
    EXPECT_EQ(c.program, trust::JudgeProgram(c.pins, facts)) << c.what;
    EXPECT_EQ(c.launcher, trust::JudgeNewLauncher(c.pins, facts, c.hasVersion, c.version, running)) << c.what;
  }
  EXPECT_TRUE(trust::IsAccepted(TrustVerdict::kAcceptedWithoutRevocation));
  EXPECT_FALSE(trust::IsAccepted(TrustVerdict::kNotNewer));
}

TEST(VendorKeys, FileVersionKeepsTheOrderOfDownloaderVersion) {
  // major.minor.build.0 with version = major * 1000000 + minor * 1000 + build.
  EXPECT_EQ(0x0002000000000000u, trust::FileVersionOf(2000000));
  EXPECT_EQ(0x0002000300040000u, trust::FileVersionOf(2003004));
  const uint32_t ordered[] = {0, 999, 1000, 1999999, 2000000, 2000001, 2001000, 4294967295u};
  for (size_t i = 1; i < sizeof(ordered) / sizeof(ordered[0]); ++i) {
    EXPECT_LT(trust::FileVersionOf(ordered[i - 1]), trust::FileVersionOf(ordered[i])) << ordered[i];
  }
}

// A small 32-bit program image whose only resource is a version resource.
std::string ProgramImage() {
  std::string image(0x400, '\0');
  auto u16 = [&](size_t at, uint32_t v) { image[at] = char(v & 0xff), image[at + 1] = char(v >> 8 & 0xff); };
  auto u32 = [&](size_t at, uint32_t v) { u16(at, v & 0xffff), u16(at + 2, v >> 16); };
  u16(0, 0x5A4D), u32(0x3C, 0x40), u32(0x40, 0x4550), u16(0x46, 1), u16(0x54, 0xE0);
  u16(0x58, 0x10b), u32(0x58 + 92, 16), u32(0x58 + 96 + 16, 0x1000), u32(0x58 + 96 + 20, 0x100);
  u32(0x138 + 8, 0x200), u32(0x138 + 12, 0x1000), u32(0x138 + 16, 0x200), u32(0x138 + 20, 0x200);
  const size_t root = 0x200;
  u16(root + 14, 1), u32(root + 16, 16), u32(root + 20, 0x80000018);
  u16(root + 0x18 + 14, 1), u32(root + 0x18 + 16, 1), u32(root + 0x18 + 20, 0x80000030);
  u16(root + 0x30 + 14, 1), u32(root + 0x30 + 16, 0x411), u32(root + 0x30 + 20, 0x48);
  u32(root + 0x48, 0x1060), u32(root + 0x4C, 92);
  const size_t info = root + 0x60;
  u16(info, 92), u16(info + 2, 52);
  const char key[] = "VS_VERSION_INFO";
  for (size_t i = 0; i < sizeof(key); ++i) u16(info + 6 + 2 * i, static_cast<unsigned char>(key[i]));
  u32(info + 40, 0xFEEF04BD), u32(info + 48, 0x00020000), u32(info + 52, 0x00050000);
  return image;
}

TEST(VendorKeys, ProgramVersionIsReadFromTheVersionResourceOnly) {
  uint64_t version = 0;
  ASSERT_TRUE(platform::ProgramFileVersion(ProgramImage(), &version));
  EXPECT_EQ(trust::FileVersionOf(2000005), version);
  const struct {
    const char* what;
    std::function<void(std::string&)> change;
  } broken[] = {
      {"no program", [](std::string& i) { i[0] = 'X'; }},
      {"cut short", [](std::string& i) { i.resize(0x2A0); }},
      {"no version resource", [](std::string& i) { i[0x200 + 16] = 3; }},
      {"resource outside its section", [](std::string& i) { i[0x200 + 20 + 1] = 0x10; }},
      {"another structure", [](std::string& i) { i[0x260 + 40] = 0; }},
      {"another key", [](std::string& i) { i[0x260 + 6] = 'W'; }},
  };
  for (const auto& c : broken) {
    std::string image = ProgramImage();
    c.change(image);
    EXPECT_FALSE(platform::ProgramFileVersion(image, &version)) << c.what;
  }
}

}  // namespace
