#include "tests/support/child_process_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace tavo_test {

ChildResult RunChild(const std::vector<std::string>& argv, const std::vector<std::pair<std::string, std::string>>& env,
                     const std::string& input, int timeoutSeconds) {
  ChildResult result;
  int out[2], in[2];
  if (pipe(out) != 0 || pipe(in) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(out[1], 2);
    close(in[1]);
    close(out[0]);
    for (const auto& kv : env) setenv(kv.first.c_str(), kv.second.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (!input.empty()) {
    ssize_t ignored = write(in[1], input.data(), input.size());
    (void)ignored;
  }
  close(in[1]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  char buffer[4096];
  for (;;) {
    int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
    if (left <= 0) {
      kill(pid, SIGKILL);
      result.output += "\n[killed after timeout]\n";
      break;
    }
    struct pollfd p = {out[0], POLLIN, 0};
    if (poll(&p, 1, left) <= 0) continue;
    ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.output.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  return result;
}

bool CopyFileTo(const std::string& from, const std::string& to, bool executable) {
  std::ifstream src(from, std::ios::binary);
  std::ofstream dst(to, std::ios::binary | std::ios::trunc);
  if (!src || !dst) return false;
  dst << src.rdbuf();
  dst.close();
  if (executable) chmod(to.c_str(), 0755);
  return static_cast<bool>(dst);
}

}  // namespace tavo_test
