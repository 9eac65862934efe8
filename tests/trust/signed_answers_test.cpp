// Which signed server answer a release build reads: key, digest, signing time against the record and the clock.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "trust/signed_answers.h"

namespace {

using trust::AnswerVerdict;

TEST(SignedAnswers, OnlyACurrentAnswerSignedByAVendorKeyIsRead) {
  const std::string vendor(64, 'a'), next(64, 'b'), stranger(64, 'c');
  const std::vector<std::string> pins = {vendor, next};
  const int64_t now = 1800000000, day = 24 * 60 * 60;
  auto signedBy = [&](const std::string& key, int64_t at) {
    platform::SignedDataFacts facts;
    facts.valid = true;
    facts.signerKey = key;
    facts.digestOid = "2.16.840.1.101.3.4.2.1";
    facts.hasSigningTime = true;
    facts.signingTime = at;
    return facts;
  };
  platform::SignedDataFacts sha1 = signedBy(vendor, now), untimed = signedBy(vendor, now), broken;
  sha1.digestOid = "1.3.14.3.2.26";
  untimed.hasSigningTime = false;
  const trust::AnswerRecord none, seen{true, now - 60};
  const struct {
    const char* what;
    std::vector<std::string> pins;
    bool hasSignature;
    platform::SignedDataFacts facts;
    trust::AnswerRecord record;
    int64_t maxAge;
    AnswerVerdict verdict;
  } cases[] = {
      {"development build", {}, false, broken, none, 0, AnswerVerdict::kSkipped},
      {"first answer", pins, true, signedBy(vendor, now - 3600), none, 0, AnswerVerdict::kAccepted},
      {"next key", pins, true, signedBy(next, now), none, 0, AnswerVerdict::kAccepted},
      {"the same answer again", pins, true, signedBy(vendor, now - 60), seen, 0, AnswerVerdict::kAccepted},
      {"an older answer replayed", pins, true, signedBy(vendor, now - 61), seen, 0, AnswerVerdict::kReplayed},
      {"no signature", pins, false, broken, none, 0, AnswerVerdict::kMissing},
      {"broken signature", pins, true, broken, none, 0, AnswerVerdict::kInvalid},
      {"another key", pins, true, signedBy(stranger, now), none, 0, AnswerVerdict::kOtherSigner},
      {"SHA-1", pins, true, sha1, none, 0, AnswerVerdict::kNotSha256},
      {"no signing time", pins, true, untimed, none, 0, AnswerVerdict::kNoSigningTime},
      {"a day ahead", pins, true, signedBy(vendor, now + day), none, 0, AnswerVerdict::kAccepted},
      {"more than a day ahead", pins, true, signedBy(vendor, now + day + 1), none, 0, AnswerVerdict::kFromTheFuture},
      {"at the maximum age", pins, true, signedBy(vendor, now - 7200), none, 7200, AnswerVerdict::kAccepted},
      {"beyond the maximum age", pins, true, signedBy(vendor, now - 7201), none, 7200, AnswerVerdict::kTooOld},
      {"old without a maximum age", pins, true, signedBy(vendor, now - 400 * day), none, 0, AnswerVerdict::kAccepted},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.verdict, trust::JudgeAnswer(c.pins, c.hasSignature, c.facts, c.record, now, c.maxAge)) << c.what;
  }
}

}  // namespace
