#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One instance of a Security Center class, as the system reports it. A
// property the instance does not carry (or that cannot be read) stays empty.
struct SecurityCenterRecord {
  std::wstring displayName;
  std::wstring companyName;
  std::wstring versionNumber;
  std::wstring pathToSignedProductExe;
  std::wstring pathToSignedReportingExe;
  uint32_t productState = 0;
  bool hasProductState = false;
};

// Runs one WQL query ("SELECT * FROM <class>") against a Security Center
// namespace ("ROOT\SecurityCenter2" or "ROOT\SecurityCenter") and appends one
// record per instance, in the order the system returns them.
//
// Windows: WMI, with the component library initialised for the call on the
// calling thread. The simulated machine: the sections "[<class> N]" of its
// securitycenter.ini; a "[Fail]" entry "<class>=1" makes the query fail.
//
// True when the query ran (also with no instance); false, with the last error
// set, when a step before the enumeration failed.
bool QuerySecurityCenter(const std::wstring& wmiNamespace, const std::wstring& wqlQuery,
                         std::vector<SecurityCenterRecord>* records);

}  // namespace platform
