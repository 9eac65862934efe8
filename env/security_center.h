#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One product as the Windows Security Center reports it.
struct SecurityCenterProduct {
  bool Valid = false;
  std::wstring DisplayName;
  std::wstring CompanyName;
  std::wstring VersionNumber;
  std::wstring PathToSignedProductExe;
  std::wstring PathToSignedReportingExe;
  uint32_t ProductState = 0;
  bool HasState = false;
  bool Enabled = false;
  bool UpToDate = false;
};

// Fills Enabled and UpToDate from ProductState (only when HasState): the
// second-lowest byte 0x10 or 0x11 means enabled, a lowest byte of 0 means
// the definitions are up to date.
void DeriveProductState(SecurityCenterProduct* product);

// Each runs one Security Center query in the namespace that fits the system
// and appends one record per reported product. True when the query ran (also
// with no products), false when a step before the enumeration failed.
bool QueryAntiVirusProducts(std::vector<SecurityCenterProduct>* products);
bool QueryAntiSpywareProducts(std::vector<SecurityCenterProduct>* products);
bool QueryFirewallProducts(std::vector<SecurityCenterProduct>* products);

// The namespace the queries connect to: "ROOT\SecurityCenter2" from Vista on,
// "ROOT\SecurityCenter" before.
std::wstring SecurityCenterNamespace();
