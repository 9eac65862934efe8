#pragma once
// The rules that tell the download server how to misbehave for a path
// (dlserver.cpp lists them).
#include <string>
#include <vector>

namespace dlserver {

struct Rule {
  int status = 0;
  std::string location;
  long long delayMs = 0;
  std::string holdUntil;
  long long announce = -1;
  std::string announceText;
  long long closeAfter = -1;
  long long closeTimes = -1;
  bool ranges = true;
  std::string etag;
  bool ifRangeIgnored = false;
  bool corruptRanges = false;
  long long rangeStart = -1;
  long long stallAfter = -1;
  long long stallMs = 60000;
  long long dripBytes = 0;
  long long dripMs = 10;
  long long always206 = -1;
  long long short206 = -1;
  long long long206 = -1;
  bool bare206 = false;
  bool noLength = false;
  long long headDripMs = 0;
};

// A whole decimal number; *ok false when the text is anything else.
long long ToNumber(const std::string& text, bool* ok);

// The rule for a path ("*" for any path without its own): the command line's
// lines first, then the rules file, read anew so that a test can change the
// server's behaviour between requests. False when none applies.
bool FindRule(const std::vector<std::string>& lines, const std::string& file, const std::string& path, Rule* rule);

}  // namespace dlserver
