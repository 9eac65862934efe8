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

}  // namespace platform
