#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/paths.h"
#include "platform/files.h"
#include "platform/utf.h"
#include "tests/support/loopback_server.h"

#ifndef TAVO_DLSERVER_PATH
#define TAVO_DLSERVER_PATH ""
#endif

namespace tavo_test {

bool LoopbackServer::Spawn(std::string* error) {
  std::string binary = std::getenv("TAVO_DLSERVER") ? std::getenv("TAVO_DLSERVER") : TAVO_DLSERVER_PATH;
  if (binary.empty() || ::access(binary.c_str(), X_OK) != 0) {
    *error = "the loopback download server is not built (" + binary + "); set TAVO_DLSERVER";
    return false;
  }
  // Requests to the loopback server never go through a proxy of the environment.
  std::string noProxy = std::getenv("no_proxy") ? std::getenv("no_proxy") : "";
  if (noProxy.find("127.0.0.1") == std::string::npos) {
    noProxy = noProxy.empty() ? "127.0.0.1,localhost" : "127.0.0.1,localhost," + noProxy;
    ::setenv("no_proxy", noProxy.c_str(), 1);
    ::setenv("NO_PROXY", noProxy.c_str(), 1);
  }
  dir_ = std::make_unique<TempDir>();
  root_ = dir_->File(L"root") + L"/";
  platform::CreateFolder(root_);
  rulesPath_ = dir_->File(L"rules.txt");
  logPath_ = dir_->File(L"requests.log");
  portPath_ = dir_->File(L"port.txt");
  if (!ClearRules() || !ClearRequests()) {
    *error = "cannot write the server's rules file";
    return false;
  }
  const std::string root = platform::WideToUtf8(root_);
  const std::string rules = platform::WideToUtf8(rulesPath_);
  const std::string log = platform::WideToUtf8(logPath_);
  const std::string portFile = platform::WideToUtf8(portPath_);
  const std::string output = platform::WideToUtf8(dir_->File(L"server.out"));
  std::vector<const char*> argv = {binary.c_str(), "--root", root.c_str(), "--port", "0", "--port-file",
                                   portFile.c_str(), "--rules", rules.c_str(), "--log", log.c_str(), nullptr};
  pid_t parent = ::getpid();
  pid_t pid = ::fork();
  if (pid < 0) {
    *error = "fork failed";
    return false;
  }
  if (pid == 0) {
    // The server must not outlive a test run that crashes.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) ::dup2(out, STDOUT_FILENO);
    ::execv(binary.c_str(), const_cast<char* const*>(argv.data()));
    ::_exit(127);
  }
  child_ = pid;
  // The port file appears once the server listens.
  for (int waited = 0; waited < 10000; waited += 5) {
    std::string text;
    if (platform::ReadWholeFile(portPath_, &text) && !text.empty()) {
      int port = std::atoi(text.c_str());
      if (port > 0 && port <= 65535) {
        port_ = static_cast<uint16_t>(port);
        return true;
      }
    }
    int status = 0;
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      child_ = 0;
      *error = "the loopback download server ended at start";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Kill();
  *error = "the loopback download server did not report its port";
  return false;
}

void LoopbackServer::Kill() {
  if (child_ == 0) return;
  pid_t pid = static_cast<pid_t>(child_);
  child_ = 0;
  ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

uint16_t UnusedLoopbackPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t size = sizeof(address);
  uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

}  // namespace tavo_test
