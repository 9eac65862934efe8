#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/utf.h"

// Each fuzz input becomes one file, as every reader of the launcher reads files.
inline std::wstring WriteFuzzInput(const uint8_t* data, size_t size, const char* name) {
  static const std::string folder = [] {
    const char* tmp = getenv("TMPDIR");
    std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/tavo-fuzz-" + std::to_string(getpid());
    mkdir(base.c_str(), 0700);
    return base + "/";
  }();
  std::string path = folder + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (f) {
    fwrite(data, 1, size, f);
    fclose(f);
  }
  return platform::Utf8ToWide(path);
}
