#pragma once
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tavo_test {

// Points the process's debug log at a fresh file for as long as it lives, and
// reads the entries back; the previous path and state are restored after.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::wstring> Texts() const;

 private:
  TempDir dir_;
  std::wstring path_;
  std::wstring previousPath_;
  bool previousEnabled_ = false;
};

}  // namespace tavo_test
