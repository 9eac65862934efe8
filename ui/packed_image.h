#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The wizard's bitmaps are stored in Setup.exe run-length packed (the packer
// is tools/images/pack_bitmaps.py): whole bitmap files, unpacked here byte for
// byte, so the windows show exactly the pixels that were drawn.

// The largest bitmap file the launcher unpacks; the biggest image is 0.3 MB.
constexpr size_t kMaxUnpackedImage = 8u << 20;

// Unpacks a packed image into *out. False, with *out empty, when the data is
// not a complete packed image or would unpack to more than its stated size.
bool UnpackImage(const uint8_t* data, size_t size, std::vector<uint8_t>* out);

// Where the parts of a bitmap file lie: its BITMAPINFO (header and colour
// table) and its pixel rows.
struct BitmapFileParts {
  size_t info_offset = 0;
  size_t bits_offset = 0;
  int32_t width = 0;
  int32_t height = 0;  // negative for top-down rows, as in the file
};

// Checks an uncompressed bitmap file (1, 4, 8, 24 or 32 bits per pixel) and
// that its header, colour table and every pixel row lie inside the data.
bool ParseBitmapFile(const std::vector<uint8_t>& file, BitmapFileParts* parts);
