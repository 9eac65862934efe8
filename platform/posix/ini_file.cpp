#include "platform/posix/ini_file.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform {
namespace posix {

std::string LowerAscii(std::string s) {
  for (auto& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

namespace {
std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}
}  // namespace

bool IniFile::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  std::string section;
  bool first = true;
  while (std::getline(in, line)) {
    if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    first = false;
    line = Trim(line);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t end = line.find(']');
      std::string name = Trim(line.substr(1, end == std::string::npos ? std::string::npos : end - 1));
      section = LowerAscii(name);
      if (!values_.count(section)) order_.push_back(name);
      values_[section];
      continue;
    }
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    values_[section][LowerAscii(Trim(line.substr(0, eq)))] = Trim(line.substr(eq + 1));
  }
  return true;
}

bool IniFile::HasSection(const std::string& section) const { return values_.count(LowerAscii(section)) != 0; }

std::string IniFile::Get(const std::string& section, const std::string& key, const std::string& fallback) const {
  auto s = values_.find(LowerAscii(section));
  if (s == values_.end()) return fallback;
  auto k = s->second.find(LowerAscii(key));
  return k == s->second.end() ? fallback : k->second;
}

long IniFile::GetInt(const std::string& section, const std::string& key, long fallback) const {
  std::string text = Get(section, key, std::string());
  if (text.empty()) return fallback;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 0);
  if (end == text.c_str()) return fallback;
  return value;
}

}  // namespace posix
}  // namespace platform
