#pragma once
#include <map>
#include <string>
#include <vector>

namespace platform {
namespace posix {

// A small INI reader for the simulated machine's files: "[Section]" headers,
// "key=value" lines, ';' or '#' comments. Section and key names compare
// without regard to ASCII case, as Windows' own profile functions do.
class IniFile {
 public:
  bool Load(const std::string& path);  // false when the file cannot be read
  bool HasSection(const std::string& section) const;
  std::string Get(const std::string& section, const std::string& key, const std::string& fallback) const;
  // Integers in decimal or 0x-hex; the fallback when absent or unparsable.
  long GetInt(const std::string& section, const std::string& key, long fallback) const;
  // Section names in file order.
  const std::vector<std::string>& Sections() const { return order_; }

 private:
  std::map<std::string, std::map<std::string, std::string>> values_;  // lower-case names
  std::vector<std::string> order_;
};

std::string LowerAscii(std::string s);

}  // namespace posix
}  // namespace platform
