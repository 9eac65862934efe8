#include <cwchar>
#include <cwctype>
#include <mutex>

#include "platform/http.h"

namespace platform {

namespace {
std::mutex g_proxyLock;
std::wstring g_proxy;
}  // namespace

void SetHttpProxy(const std::wstring& address) {
  std::lock_guard<std::mutex> hold(g_proxyLock);
  g_proxy = address;
}

std::wstring HttpProxy() {
  std::lock_guard<std::mutex> hold(g_proxyLock);
  return g_proxy;
}

bool UrlHasScheme(const std::wstring& url, const wchar_t* scheme) {
  const size_t length = std::wcslen(scheme);
  if (url.size() <= length || url[length] != L':') return false;
  for (size_t i = 0; i < length; ++i) {
    if (static_cast<wchar_t>(std::towlower(url[i])) != scheme[i]) return false;
  }
  return true;
}

}  // namespace platform
