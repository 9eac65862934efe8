#include "platform/shell.h"

#include <windows.h>
#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "platform/win32/com_ptr_win.h"
#include "platform/win32/owned_win.h"
#include "platform/win32/shell_win.h"

namespace platform {

namespace {

using win32::Bstr;
using win32::ComPtr;

bool RunsElevated() {
  win32::UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return true;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  const BOOL read = ::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof(elevation), &size);
  return !read || elevation.TokenIsElevated != 0;
}

}  // namespace

// The shell of the user's desktop, which runs in the user's own,
// non-elevated context: what it opens runs there too.
HRESULT OpenThroughDesktop(const std::wstring& file, const std::wstring& parameters) {
  ComPtr<IShellWindows> windows;
  HRESULT hr = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                  windows.ReceiveVoid());
  if (FAILED(hr)) return hr;
  VARIANT desktop = {};
  desktop.vt = VT_I4;
  desktop.lVal = CSIDL_DESKTOP;
  VARIANT none = {};
  long window = 0;
  ComPtr<IDispatch> found;
  hr = windows->FindWindowSW(&desktop, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, found.Receive());
  if (hr != S_OK || !found) return FAILED(hr) ? hr : E_FAIL;
  ComPtr<IServiceProvider> provider;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background;
  ComPtr<IShellFolderViewDual> folderView;
  ComPtr<IDispatch> application;
  ComPtr<IShellDispatch2> shell;
  if (FAILED(hr = found->QueryInterface(IID_IServiceProvider, provider.ReceiveVoid())) ||
      FAILED(hr = provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.ReceiveVoid())) ||
      FAILED(hr = browser->QueryActiveShellView(view.Receive())) ||
      FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.ReceiveVoid())) ||
      FAILED(hr = background->QueryInterface(IID_IShellFolderViewDual, folderView.ReceiveVoid())) ||
      FAILED(hr = folderView->get_Application(application.Receive())) ||
      FAILED(hr = application->QueryInterface(IID_IShellDispatch2, shell.ReceiveVoid()))) {
    return hr;
  }
  Bstr name(file), args(parameters), verb(L"open");
  VARIANT arguments = {}, folder = {}, operation = {}, show = {};
  arguments.vt = VT_BSTR;
  arguments.bstrVal = args.get();
  operation.vt = VT_BSTR;
  operation.bstrVal = verb.get();
  show.vt = VT_I4;
  show.lVal = SW_SHOWNORMAL;
  return shell->ShellExecute(name.get(), arguments, folder, operation, show);
}

intptr_t OpenByRoute(const ShellRoutes& routes) {
  if (!routes.elevated) return routes.direct();
  // No second way: when the desktop's shell cannot be reached (no desktop,
  // another session, a shell that is not Explorer) nothing is opened.
  const HRESULT hr = routes.throughDesktop();
  if (SUCCEEDED(hr)) return 42;
  const DWORD error = HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_NO_ASSOCIATION;
  ::SetLastError(error);
  return error > 32 || error == 0 ? SE_ERR_NOASSOC : static_cast<intptr_t>(error);
}

intptr_t ShellOpen(const std::wstring& file, const std::wstring& parameters) {
  ShellRoutes routes;
  routes.elevated = RunsElevated();
  routes.direct = [&] {
    HINSTANCE result = ShellExecuteW(nullptr, L"open", file.c_str(),
                                     parameters.empty() ? nullptr : parameters.c_str(), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<intptr_t>(result);
  };
  routes.throughDesktop = [&] {
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HRESULT hr = OpenThroughDesktop(file, parameters);
    if (SUCCEEDED(init)) ::CoUninitialize();
    return hr;
  };
  return OpenByRoute(routes);
}

}  // namespace platform
