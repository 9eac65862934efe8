#include "platform/security_center.h"

#include <cstdlib>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/posix/ini_file.h"
#include "platform/posix/machine.h"
#include "platform/utf.h"

namespace platform {

namespace {

// What WMI answers for a query that fails in the provider (WBEM_E_FAILED).
constexpr uint32_t kWbemFailed = 0x80041001u;

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  size_t first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  size_t last = s.find_last_not_of(blanks);
  return s.substr(first, last - first + 1);
}

// The class of "SELECT * FROM <class>": the word after the last FROM.
std::string QueriedClass(const std::wstring& wqlQuery) {
  std::string query = WideToUtf8(wqlQuery);
  std::string lower = posix::LowerAscii(query);
  size_t from = lower.rfind("from ");
  if (from == std::string::npos) return std::string();
  return Trim(query.substr(from + 5));
}

bool ParseState(const std::string& text, uint32_t* state) {
  std::string t = Trim(text);
  if (t.empty()) return false;
  const char* begin = t.c_str();
  char* end = nullptr;
  int base = (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) ? 16 : 10;
  unsigned long long value = std::strtoull(begin, &end, base);
  if (end == begin || *end != '\0' || value > 0xFFFFFFFFull) return false;
  *state = static_cast<uint32_t>(value);
  return true;
}

// "[<class> N]" (or a bare "[<class>]") names an instance of the class.
bool IsInstanceSection(const std::string& section, const std::string& className) {
  const std::string lowerSection = posix::LowerAscii(section);
  const std::string lowerClass = posix::LowerAscii(className);
  if (lowerSection == lowerClass) return true;
  if (lowerSection.size() <= lowerClass.size() + 1) return false;
  if (lowerSection.compare(0, lowerClass.size(), lowerClass) != 0) return false;
  return lowerSection[lowerClass.size()] == ' ';
}

}  // namespace

bool QuerySecurityCenter(const std::wstring& wmiNamespace, const std::wstring& wqlQuery,
                         std::vector<SecurityCenterRecord>* records) {
  const std::string className = QueriedClass(wqlQuery);
  if (className.empty()) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }

  // Without the file the machine's Security Center knows no products.
  const std::string path = posix::MachineFile("securitycenter.ini");
  if (path.empty() || !FileExists(Utf8ToWide(path))) return true;
  posix::IniFile ini;
  if (!ini.Load(path)) {
    SetLastError(kWbemFailed);
    return false;
  }
  if (ini.GetInt("Fail", className, 0) != 0) {
    SetLastError(kWbemFailed);
    return false;
  }

  for (const std::string& section : ini.Sections()) {
    if (!IsInstanceSection(section, className)) continue;
    SecurityCenterRecord record;
    record.displayName = Utf8ToWide(ini.Get(section, "displayName", ""));
    record.companyName = Utf8ToWide(ini.Get(section, "companyName", ""));
    record.versionNumber = Utf8ToWide(ini.Get(section, "versionNumber", ""));
    record.pathToSignedProductExe = Utf8ToWide(ini.Get(section, "pathToSignedProductExe", ""));
    record.pathToSignedReportingExe = Utf8ToWide(ini.Get(section, "pathToSignedReportingExe", ""));
    record.hasProductState = ParseState(ini.Get(section, "productState", ""), &record.productState);
    records->push_back(std::move(record));
  }
  return true;
}

}  // namespace platform
