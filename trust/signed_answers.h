#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/signed_data.h"

// Which server answer is current: a release build reads a server file only
// under a detached signature by a vendor key, never signed earlier than the
// newest one of its kind that the same key signed and this machine accepted.
namespace trust {

// The server files that are signed; each keeps its own record.
enum class AnswerKind { kVersionFile, kLaunchSettings, kNotifications, kDownloadConfig };

enum class AnswerVerdict {
  kSkipped,        // a development build asks for no signature
  kAccepted,
  kMissing,        // no signature could be fetched
  kInvalid,        // no intact signature over exactly this file
  kOtherSigner,    // signed, but not by a vendor key
  kNotSha256,      // its message digest is not SHA-256
  kNoSigningTime,  // the signature carries no signed signing time
  kReplayed,       // signed before the newest answer of its kind that the key signed
  kFromTheFuture,  // signed more than kMaxFutureSeconds after this machine's time
  kTooOld,         // signed longer ago than the build's maximum age allows
};

// Clocks differ; a signing time further ahead than this is refused, so that
// one answer cannot make every later one look like a replay for long.
constexpr int64_t kMaxFutureSeconds = 24 * 60 * 60;

// The newest signing time accepted for a kind of answer and a key.
struct AnswerRecord {
  bool known = false;
  int64_t newest = 0;
};

// The verdict on a signature (hasSignature false: none fetched) at time now;
// maxAgeSeconds 0: any age.
AnswerVerdict JudgeAnswer(const std::vector<std::string>& pins, bool hasSignature,
                          const platform::SignedDataFacts& facts, const AnswerRecord& record, int64_t now,
                          int64_t maxAgeSeconds);

// Whether this build asks for signed server files: a build with vendor keys.
bool SignedAnswersRequired();

// Whether the server file fetched from url, whose bytes are content, may be
// read. signature: the bytes of url + ".sig", null when it could not be
// fetched. Checks the signature, compares its time with the record of the
// kind and the signing key, records a newer time, and logs the verdict; a
// development build accepts every file without a word.
bool AcceptSignedAnswer(AnswerKind kind, const std::string& content, const std::string* signature,
                        const std::wstring& url);

}  // namespace trust
