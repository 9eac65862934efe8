#include "tests/support/loopback_server.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "base/paths.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/utf.h"
#include "tests/support/temp_dir.h"

namespace tavo_test {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::wstring NativeRelative(const std::string& path) {
  std::wstring relative = platform::Utf8ToWide(path.substr(std::min(path.find_first_not_of('/'), path.size())));
  std::replace(relative.begin(), relative.end(), L'/', platform::PathSeparator());
  return relative;
}

}  // namespace

std::wstring HostPathToNative(const std::string& hostPath) {
  std::wstring path = platform::Utf8ToWide(hostPath);
  if (platform::PathSeparator() == L'\\' && !path.empty() && path[0] == L'/') {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    path = L"Z:" + path;
  }
  return path;
}

bool LoopbackServer::Start(std::string* error) {
  if (started()) return true;
  const std::string port = Env("TAVO_DLSERVER_PORT");
  if (port.empty()) {
    *error = "no loopback download server: run the test through tests/support/with-dlserver.sh (ctest does)";
    return false;
  }

  root_ = EnsureTrailingSeparator(HostPathToNative(Env("TAVO_DLSERVER_ROOT")));
  rulesPath_ = HostPathToNative(Env("TAVO_DLSERVER_RULES"));
  logPath_ = HostPathToNative(Env("TAVO_DLSERVER_LOG"));
  int number = std::atoi(port.c_str());
  if (number <= 0 || number > 65535 || root_.empty() || rulesPath_.empty() || logPath_.empty()) {
    *error = "TAVO_DLSERVER_PORT is set, but TAVO_DLSERVER_ROOT, _RULES or _LOG is missing or wrong";
    return false;
  }
  if (!ClearRules() || !ClearRequests()) {
    *error = "cannot write the rules file or the request log of the attached server";
    return false;
  }
  port_ = static_cast<uint16_t>(number);
  return true;
}

std::wstring LoopbackServer::Url(const std::string& path) const {
  return L"http://127.0.0.1:" + std::to_wstring(port_) + platform::Utf8ToWide(path);
}

bool LoopbackServer::WriteFile(const std::string& path, const std::string& bytes) {
  std::wstring relative = NativeRelative(path);
  // Create the folders on the way.
  for (size_t at = relative.find(platform::PathSeparator()); at != std::wstring::npos;
       at = relative.find(platform::PathSeparator(), at + 1)) {
    (void)platform::CreateFolder(root_ + relative.substr(0, at));  // a missing one fails the write below
  }
  return WriteBytes(root_ + relative, bytes);
}

bool LoopbackServer::SetRule(const std::string& path, const std::string& options) {
  rules_[path] = options;
  return WriteRules();
}

bool LoopbackServer::ClearRules() {
  rules_.clear();
  return WriteRules();
}

bool LoopbackServer::WriteRules() {
  std::string text;
  for (const auto& rule : rules_) text += rule.first + " " + rule.second + "\n";
  return WriteBytes(rulesPath_, text);
}

std::vector<LoopbackServer::Request> LoopbackServer::Requests() const {
  std::vector<Request> requests;
  std::istringstream in(ReadBytes(logPath_));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    Request& request = requests.emplace_back();
    for (std::string* field : {&request.method, &request.path, &request.userAgent}) std::getline(fields, *field, '\t');
  }
  return requests;
}

bool LoopbackServer::ClearRequests() { return WriteBytes(logPath_, ""); }

}  // namespace tavo_test
