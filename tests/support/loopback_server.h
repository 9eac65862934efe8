#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tavo_test {

// The loopback download server (tools/dlserver) for tests that download.
//
// Every test program of both builds (the Windows ones under Wine, which cannot
// start a Linux process) attaches to a server that its runner started,
// described by
//   TAVO_DLSERVER_PORT   the port on 127.0.0.1
//   TAVO_DLSERVER_ROOT   the served folder
//   TAVO_DLSERVER_RULES  the rules file the server reads for every request
//   TAVO_DLSERVER_LOG    the server's request log
// (host paths; under Wine they are reached through drive Z:). The runner is
// tests/support/with-dlserver.sh, which ctest puts before every test program.
// A fixture empties the rules and the request log when it starts.
class LoopbackServer {
 public:
  struct Request {
    std::string method;
    std::string path;
    std::string userAgent;
  };

  // Attaches to the server; false with a reason in *error.
  bool Start(std::string* error);
  bool started() const { return port_ != 0; }

  // "http://127.0.0.1:<port>" followed by path ("/a.bin").
  std::wstring Url(const std::string& path) const;

  // Puts a file into the served folder; path like "/pkg/a.bin".
  bool WriteFile(const std::string& path, const std::string& bytes);

  // Per-path behaviour, in the server's rule syntax ("status=404",
  // "stall-after=2048 stall-ms=5000", ...); see tools/dlserver/dlserver.cpp.
  bool SetRule(const std::string& path, const std::string& options);
  bool ClearRules();

  // The requests the server has seen since it started or since ClearRequests.
  std::vector<Request> Requests() const;
  bool ClearRequests();

 private:
  bool WriteRules();

  std::wstring root_;
  std::wstring rulesPath_;
  std::wstring logPath_;
  std::map<std::string, std::string> rules_;
  uint16_t port_ = 0;
};

// The native form of a host path handed in by the test runner: unchanged on
// Linux, "Z:\..." under Wine.
std::wstring HostPathToNative(const std::string& hostPath);

}  // namespace tavo_test
