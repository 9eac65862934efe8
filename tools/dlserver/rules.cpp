#include "rules.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace dlserver {

long long ToNumber(const std::string& text, bool* ok) {
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  *ok = !text.empty() && end && *end == '\0';
  return value;
}

namespace {

// Parses "PATH OPTION..." into path and rule; false on a malformed line.
bool ParseRuleLine(const std::string& line, std::string* path, Rule* rule, std::string* error) {
  std::istringstream in(line);
  if (!(in >> *path)) return false;
  std::string word;
  while (in >> word) {
    size_t eq = word.find('=');
    if (eq == std::string::npos) {
      *error = "option without '=': " + word;
      return false;
    }
    std::string key = word.substr(0, eq);
    std::string value = word.substr(eq + 1);
    if (key == "location" || key == "hold-until") {
      (key == "location" ? rule->location : rule->holdUntil) = value;
      continue;
    }
    if (key == "etag" || key == "if-range") {
      if (key == "etag") rule->etag = value;
      else rule->ifRangeIgnored = value == "ignore";
      continue;
    }
    bool ok = false;
    long long number = ToNumber(value, &ok);
    if (!ok || number < 0) {
      *error = "not a number: " + word;
      return false;
    }
    if (key == "status") rule->status = static_cast<int>(number);
    else if (key == "delay-ms") rule->delayMs = number;
    else if (key == "announce") rule->announce = number, rule->announceText = value;
    else if (key == "close-after") rule->closeAfter = number;
    else if (key == "close-times") rule->closeTimes = number;
    else if (key == "ranges") rule->ranges = number != 0;
    else if (key == "corrupt-ranges") rule->corruptRanges = number != 0;
    else if (key == "range-start") rule->rangeStart = number;
    else if (key == "stall-after") rule->stallAfter = number;
    else if (key == "stall-ms") rule->stallMs = number;
    else if (key == "drip-bytes") rule->dripBytes = number;
    else if (key == "drip-ms") rule->dripMs = number;
    else if (key == "always-206") rule->always206 = number;
    else if (key == "short-206") rule->short206 = number;
    else if (key == "long-206") rule->long206 = number;
    else if (key == "bare-206") rule->bare206 = number != 0;
    else if (key == "no-length") rule->noLength = number != 0;
    else if (key == "head-drip-ms") rule->headDripMs = number;
    else {
      *error = "unknown option: " + key;
      return false;
    }
  }
  return true;
}

void AddRules(std::istream& in, std::map<std::string, Rule>* rules, const std::string& origin) {
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::string path, error;
    Rule rule;
    if (!ParseRuleLine(line, &path, &rule, &error)) {
      std::fprintf(stderr, "dlserver: %s: ignored rule \"%s\" (%s)\n", origin.c_str(), line.c_str(),
                   error.c_str());
      continue;
    }
    (*rules)[path] = rule;
  }
}

}  // namespace

bool FindRule(const std::vector<std::string>& lines, const std::string& file, const std::string& path, Rule* rule) {
  std::map<std::string, Rule> rules;
  for (const std::string& line : lines) {
    std::istringstream in(line);
    AddRules(in, &rules, "--rule");
  }
  if (!file.empty()) {
    std::ifstream in(file);
    if (in) AddRules(in, &rules, file);
  }
  auto it = rules.find(path);
  if (it == rules.end()) it = rules.find("*");
  if (it == rules.end()) return false;
  *rule = it->second;
  return true;
}

}  // namespace dlserver
