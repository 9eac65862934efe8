#include "ui/packed_image.h"

#include <cstring>

namespace {

constexpr uint8_t kMagic[4] = {'T', 'R', 'L', '1'};
constexpr size_t kHeaderSize = 8;
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr uint8_t kFirstRunControl = 128;
constexpr size_t kRunBias = 125;

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

bool UnpackImage(const uint8_t* data, size_t size, std::vector<uint8_t>* out) {
  out->clear();
  if (!data || size < kHeaderSize || std::memcmp(data, kMagic, sizeof kMagic) != 0) return false;
  const size_t expected = Le32(data + 4);
  if (expected > kMaxUnpackedImage) return false;
  out->reserve(expected);
  size_t at = kHeaderSize;
  bool whole = true;
  while (whole && at < size) {
    const uint8_t control = data[at++];
    const bool literal = control < kFirstRunControl;
    const size_t count = literal ? size_t{control} + 1 : control - kRunBias;
    const size_t needed = literal ? count : 1;
    // A packet cut short, or one that would unpack past the stated size, ends it as damaged.
    whole = needed <= size - at && count <= expected - out->size();
    if (!whole) break;
    if (literal) {
      out->insert(out->end(), data + at, data + at + count);
    } else {
      out->insert(out->end(), count, data[at]);
    }
    at += needed;
  }
  if (!whole || out->size() != expected) {
    out->clear();
    return false;
  }
  return true;
}

bool ParseBitmapFile(const std::vector<uint8_t>& file, BitmapFileParts* parts) {
  *parts = BitmapFileParts{};
  if (file.size() < kFileHeaderSize + kInfoHeaderSize || file[0] != 'B' || file[1] != 'M') return false;
  const uint8_t* info = file.data() + kFileHeaderSize;
  const uint32_t header_size = Le32(info);
  const int32_t width = static_cast<int32_t>(Le32(info + 4));
  const int32_t height = static_cast<int32_t>(Le32(info + 8));
  const uint16_t planes = Le16(info + 12);
  const uint16_t bit_count = Le16(info + 14);
  const uint32_t compression = Le32(info + 16);
  uint32_t colors_used = Le32(info + 32);
  const uint32_t bits_offset = Le32(file.data() + 10);
  if (header_size < kInfoHeaderSize || header_size > file.size() - kFileHeaderSize) return false;
  if (planes != 1 || compression != 0 /* BI_RGB */) return false;
  if (bit_count != 1 && bit_count != 4 && bit_count != 8 && bit_count != 24 && bit_count != 32) return false;
  // Sizes that keep every product below well inside 64 bits.
  if (width <= 0 || width > 0x8000 || height == 0 || height < -0x8000 || height > 0x8000) return false;
  if (bit_count <= 8) {
    if (colors_used == 0) colors_used = 1u << bit_count;
    if (colors_used > (1u << bit_count)) return false;
  } else if (colors_used > 256) {
    return false;
  }
  const uint64_t table_end = uint64_t{kFileHeaderSize} + header_size + uint64_t{colors_used} * 4;
  const uint64_t stride = (uint64_t{static_cast<uint32_t>(width)} * bit_count + 31) / 32 * 4;
  const uint64_t rows = height < 0 ? uint64_t(-int64_t{height}) : uint64_t(height);
  if (bits_offset < table_end || uint64_t{bits_offset} + stride * rows > file.size()) return false;
  parts->info_offset = kFileHeaderSize;
  parts->bits_offset = bits_offset;
  parts->width = width;
  parts->height = height;
  return true;
}
