#include "env/security_center.h"

#include "env/os_detection.h"
#include "platform/security_center.h"

namespace {

bool RunQuery(const wchar_t* query, std::vector<SecurityCenterProduct>* products) {
  std::vector<platform::SecurityCenterRecord> records;
  if (!platform::QuerySecurityCenter(SecurityCenterNamespace(), query, &records)) return false;
  if (products == nullptr) return true;
  for (const platform::SecurityCenterRecord& record : records) {
    SecurityCenterProduct product;
    product.DisplayName = record.displayName;
    product.CompanyName = record.companyName;
    product.VersionNumber = record.versionNumber;
    product.PathToSignedProductExe = record.pathToSignedProductExe;
    product.PathToSignedReportingExe = record.pathToSignedReportingExe;
    product.ProductState = record.productState;
    product.HasState = record.hasProductState;
    DeriveProductState(&product);
    product.Valid = true;
    products->push_back(std::move(product));
  }
  return true;
}

}  // namespace

void DeriveProductState(SecurityCenterProduct* product) {
  if (product == nullptr || !product->HasState) return;
  const uint32_t activity = (product->ProductState >> 8) & 0xFF;
  const uint32_t definitions = product->ProductState & 0xFF;
  product->Enabled = activity == 0x10 || activity == 0x11;
  product->UpToDate = definitions == 0;
}

std::wstring SecurityCenterNamespace() {
  return IsVistaOrLater() ? L"ROOT\\SecurityCenter2" : L"ROOT\\SecurityCenter";
}

bool QueryAntiVirusProducts(std::vector<SecurityCenterProduct>* products) {
  return RunQuery(L"SELECT * FROM AntiVirusProduct", products);
}

bool QueryAntiSpywareProducts(std::vector<SecurityCenterProduct>* products) {
  return RunQuery(L"SELECT * FROM AntiSpywareProduct", products);
}

bool QueryFirewallProducts(std::vector<SecurityCenterProduct>* products) {
  return RunQuery(L"SELECT * FROM FirewallProduct", products);
}
