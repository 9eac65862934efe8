// The bitmaps Setup.exe stores packed: every one unpacks to the very bitmap
// file that was drawn, and damaged or oversized data is refused, not read past.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "ui/packed_image.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> Packed(uint32_t size, std::initializer_list<uint8_t> packets) {
  std::vector<uint8_t> data = {'T', 'R', 'L', '1'};
  for (int shift = 0; shift < 32; shift += 8) data.push_back(static_cast<uint8_t>(size >> shift));
  for (uint8_t byte : packets) data.push_back(byte);
  return data;
}

TEST(PackedImage, EveryStoredBitmapUnpacksToItsDrawnFile) {
  const fs::path drawn = fs::path(TAVO_SOURCE_DIR) / "ui" / "win32" / "res";
  const fs::path stored = fs::path(TAVO_BUILD_DIR) / "packed_images";
  int compared = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(drawn)) {
    if (entry.path().extension() != ".bmp") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::vector<uint8_t> original = ReadBytes(entry.path());
    const std::vector<uint8_t> packed = ReadBytes(stored / (entry.path().filename().string() + ".rle"));
    ASSERT_FALSE(packed.empty());
    EXPECT_LT(packed.size(), original.size());
    std::vector<uint8_t> unpacked;
    ASSERT_TRUE(UnpackImage(packed.data(), packed.size(), &unpacked));
    EXPECT_TRUE(unpacked == original);
    BitmapFileParts parts;
    EXPECT_TRUE(ParseBitmapFile(unpacked, &parts));
    ++compared;
  }
  EXPECT_GT(compared, 0);
}

TEST(PackedImage, RefusesDamagedData) {
  const struct {
    const char* what;
    std::vector<uint8_t> data;
  } cases[] = {
      {"no header", {'T', 'R', 'L'}},
      {"another format", {'B', 'M', 0, 0, 0, 0, 0, 0}},
      {"literal cut short", Packed(3, {2, 'a', 'b'})},
      {"run without its byte", Packed(3, {128})},
      {"more than its size", Packed(2, {129, 'x'})},
      {"less than its size", Packed(5, {1, 'a', 'b'})},
      {"bytes after the end", Packed(2, {1, 'a', 'b', 0})},
      {"size beyond the limit", Packed(static_cast<uint32_t>(kMaxUnpackedImage + 1), {})},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> out = {1, 2, 3};
    EXPECT_FALSE(UnpackImage(c.data.data(), c.data.size(), &out)) << c.what;
    EXPECT_TRUE(out.empty()) << c.what;
  }
}

// A 2 x 2 bitmap of 8 bits per pixel with two palette colours.
std::vector<uint8_t> SmallBitmap() {
  std::vector<uint8_t> file(14 + 40 + 8 + 8, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  file[0] = 'B', file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 14 + 40 + 8);
  put32(14, 40), put32(18, 2), put32(22, 2);
  file[26] = 1, file[28] = 8;
  put32(46, 2);
  return file;
}

TEST(PackedImage, ChecksTheBitmapInside) {
  BitmapFileParts parts;
  ASSERT_TRUE(ParseBitmapFile(SmallBitmap(), &parts));
  EXPECT_EQ(parts.bits_offset, 62u);
  EXPECT_EQ(parts.width, 2);
  const struct {
    const char* what;
    size_t at;
    uint8_t value;
  } damage[] = {
      {"not a bitmap file", 0, 'X'},        {"pixels beyond the end", 10, 63},  {"pixels over the palette", 10, 60},
      {"header too short", 14, 12},         {"wider than the data", 18, 9},     {"no width", 18, 0},
      {"compressed", 30, 1},                {"odd depth", 28, 7},               {"more colours than the depth", 47, 2},
  };
  for (const auto& d : damage) {
    std::vector<uint8_t> file = SmallBitmap();
    file[d.at] = d.value;
    EXPECT_FALSE(ParseBitmapFile(file, &parts)) << d.what;
  }
  std::vector<uint8_t> cut = SmallBitmap();
  cut.pop_back();
  EXPECT_FALSE(ParseBitmapFile(cut, &parts)) << "last row cut";
}

}  // namespace
