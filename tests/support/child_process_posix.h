#pragma once
#include <string>
#include <utility>
#include <vector>

namespace tavo_test {

struct ChildResult {
  int exitCode = -1;   // -1 when it did not exit normally
  std::string output;  // standard output and standard error together
};

// Runs a program to its end with the given extra environment and standard
// input, and collects what it printed. Gives up (killing it) after timeoutSeconds.
ChildResult RunChild(const std::vector<std::string>& argv,
                     const std::vector<std::pair<std::string, std::string>>& env = {},
                     const std::string& input = std::string(), int timeoutSeconds = 60);

bool CopyFileTo(const std::string& from, const std::string& to, bool executable);

}  // namespace tavo_test
