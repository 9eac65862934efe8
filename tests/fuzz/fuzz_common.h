#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The input as the bytes of one file, parsed from memory as the readers parse a file's bytes.
inline std::string FuzzBytes(const uint8_t* data, size_t size) { return std::string(reinterpret_cast<const char*>(data), size); }
