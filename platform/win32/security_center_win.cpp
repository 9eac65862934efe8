#include "platform/security_center.h"

#include <windows.h>
#include <objbase.h>
#include <wbemidl.h>

#include "platform/error.h"
#include "platform/win32/com_ptr_win.h"

namespace platform {

using win32::Bstr;
using win32::ComPtr;
using win32::Variant;

namespace {

// Balances the thread's component library initialisation on every way out.
class ComScope {
 public:
  ComScope() : hr_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  // A thread already in a single-threaded apartment can query all the same;
  // refusing there would hide every Security Center product from the checks.
  bool Usable() const { return SUCCEEDED(hr_) || hr_ == RPC_E_CHANGED_MODE; }
  HRESULT result() const { return hr_; }

 private:
  HRESULT hr_;
};

bool FailWith(HRESULT hr) {
  SetLastError(static_cast<uint32_t>(hr));
  return false;
}

void ReadString(IWbemClassObject* object, const wchar_t* name, std::wstring* value) {
  Variant v;
  if (FAILED(object->Get(name, 0, v.get(), nullptr, nullptr))) return;
  if (v.value().vt == VT_BSTR && v.value().bstrVal)
    value->assign(v.value().bstrVal, ::SysStringLen(v.value().bstrVal));
}

void ReadState(IWbemClassObject* object, SecurityCenterRecord* record) {
  Variant v;
  if (FAILED(object->Get(L"productState", 0, v.get(), nullptr, nullptr))) return;
  // WMI hands an unsigned 32-bit property over as a signed one.
  switch (v.value().vt) {
    case VT_I4:
      record->productState = static_cast<uint32_t>(v.value().lVal);
      break;
    case VT_UI4:
      record->productState = v.value().ulVal;
      break;
    case VT_INT:
      record->productState = static_cast<uint32_t>(v.value().intVal);
      break;
    case VT_UINT:
      record->productState = v.value().uintVal;
      break;
    default:
      if (FAILED(::VariantChangeType(v.get(), v.get(), 0, VT_UI4))) return;
      record->productState = v.value().ulVal;
      break;
  }
  record->hasProductState = true;
}

}  // namespace

bool QuerySecurityCenter(const std::wstring& wmiNamespace, const std::wstring& wqlQuery,
                         std::vector<SecurityCenterRecord>* records) {
  ComScope com;
  if (!com.Usable()) return FailWith(com.result());

  HRESULT hr = ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
  // Only the process's first caller can set it; later ones find it already set.
  if (FAILED(hr) && hr != RPC_E_TOO_LATE) return FailWith(hr);

  ComPtr<IWbemLocator> locator;
  hr = ::CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                          locator.ReceiveVoid());
  if (FAILED(hr) || !locator) return FailWith(hr);

  ComPtr<IWbemServices> services;
  Bstr ns(wmiNamespace);
  hr = locator->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                              services.Receive());
  if (FAILED(hr) || !services) return FailWith(hr);

  hr = ::CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                           RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
  if (FAILED(hr)) return FailWith(hr);

  ComPtr<IEnumWbemClassObject> results;
  Bstr language(L"WQL");
  Bstr query(wqlQuery);
  hr = services->ExecQuery(language.get(), query.get(),
                           WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                           results.Receive());
  if (FAILED(hr) || !results) return FailWith(hr);

  for (;;) {
    ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    hr = results->Next(WBEM_INFINITE, 1, object.Receive(), &returned);
    if (FAILED(hr) || returned == 0 || !object) break;
    SecurityCenterRecord record;
    ReadString(object.get(), L"displayName", &record.displayName);
    ReadString(object.get(), L"companyName", &record.companyName);
    ReadString(object.get(), L"versionNumber", &record.versionNumber);
    ReadString(object.get(), L"pathToSignedProductExe", &record.pathToSignedProductExe);
    ReadString(object.get(), L"pathToSignedReportingExe", &record.pathToSignedReportingExe);
    ReadState(object.get(), &record);
    records->push_back(std::move(record));
  }
  return true;
}

}  // namespace platform
