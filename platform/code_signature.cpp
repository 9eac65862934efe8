// What every platform reads of a program file the same way: its version resource.
#include "platform/code_signature.h"

#include <algorithm>
#include <cstring>

#include "platform/held_file.h"

namespace platform {

namespace {

// A launcher or installer is a few megabytes; a larger file is not read whole.
constexpr size_t kMaxProgramSize = 256u << 20;
constexpr uint16_t kResourceTypeVersion = 16;
constexpr uint32_t kFixedFileInfoSignature = 0xFEEF04BD;

class Bytes {
 public:
  explicit Bytes(const std::string& data) : data_(data) {}
  bool Has(size_t at, size_t size) const { return at <= data_.size() && size <= data_.size() - at; }
  uint16_t U16(size_t at) const { return Has(at, 2) ? static_cast<uint16_t>(Byte(at) | Byte(at + 1) << 8) : 0; }
  uint32_t U32(size_t at) const { return Has(at, 4) ? U16(at) | static_cast<uint32_t>(U16(at + 2)) << 16 : 0; }

 private:
  uint32_t Byte(size_t at) const { return static_cast<unsigned char>(data_[at]); }
  const std::string& data_;
};

struct Section {
  uint32_t address, offset, rawSize;  // in the loaded image, in the file, its data's size in the file
};

// The file offset of an address of the loaded image, and how many bytes of
// the section lie from there; false outside every section's data.
bool FileOffset(const std::vector<Section>& sections, uint32_t rva, size_t* offset, size_t* available) {
  for (const Section& s : sections) {
    if (rva >= s.address && rva - s.address < s.rawSize) {
      *offset = static_cast<size_t>(s.offset) + (rva - s.address);
      *available = s.rawSize - (rva - s.address);
      return true;
    }
  }
  return false;
}

}  // namespace

bool ProgramFileVersion(const std::string& image, uint64_t* version) {
  const Bytes b(image);
  if (b.U16(0) != 0x5A4D) return false;  // "MZ"
  const size_t pe = b.U32(0x3C);
  if (!b.Has(pe, 24) || b.U32(pe) != 0x00004550) return false;  // "PE\0\0"
  const size_t sectionCount = b.U16(pe + 6);
  const size_t optional = pe + 24;
  const size_t optionalSize = b.U16(pe + 20);
  const uint16_t magic = b.U16(optional);
  const size_t directoryCount = magic == 0x20b ? optional + 108 : magic == 0x10b ? optional + 92 : 0;
  if (directoryCount == 0 || b.U32(directoryCount) < 3 || directoryCount + 4 + 3 * 8 > optional + optionalSize) {
    return false;
  }
  const uint32_t resources = b.U32(directoryCount + 4 + 2 * 8);
  std::vector<Section> sections;
  for (size_t i = 0, at = optional + optionalSize; i < sectionCount && b.Has(at, 40); ++i, at += 40) {
    sections.push_back({b.U32(at + 12), b.U32(at + 20), b.U32(at + 16)});
  }
  size_t root = 0, rootSize = 0;
  if (resources == 0 || !FileOffset(sections, resources, &root, &rootSize)) return false;
  // Type, name, language: the first entry of the version type at each level.
  size_t directory = root;
  for (int level = 0; level < 3; ++level) {
    if (!b.Has(directory, 16)) return false;
    const size_t named = b.U16(directory + 12), ids = b.U16(directory + 14);
    size_t entry = 0;
    for (size_t i = 0; i < named + ids; ++i) {
      const size_t at = directory + 16 + 8 * i;
      if (!b.Has(at, 8)) return false;
      if (level > 0 || (i >= named && b.U32(at) == kResourceTypeVersion)) {
        entry = at;
        break;
      }
    }
    if (entry == 0) return false;
    const uint32_t target = b.U32(entry + 4);
    const bool isDirectory = (target & 0x80000000u) != 0;
    if (isDirectory != (level < 2) || (target & 0x7FFFFFFFu) >= rootSize) return false;
    directory = root + (target & 0x7FFFFFFFu);
  }
  if (!b.Has(directory, 8)) return false;
  size_t data = 0, dataSize = 0;
  if (!FileOffset(sections, b.U32(directory), &data, &dataSize)) return false;
  dataSize = std::min<size_t>(dataSize, b.U32(directory + 4));
  // VS_VERSIONINFO: lengths, type, the key "VS_VERSION_INFO", padding, then VS_FIXEDFILEINFO.
  static const char16_t kKey[] = u"VS_VERSION_INFO";
  const size_t fixed = 40;
  if (dataSize < fixed + 52 || !b.Has(data, fixed + 52) || b.U16(data + 2) < 52) return false;
  for (size_t i = 0; i < 16; ++i) {
    if (b.U16(data + 6 + 2 * i) != static_cast<uint16_t>(kKey[i])) return false;
  }
  if (b.U32(data + fixed) != kFixedFileInfoSignature) return false;
  *version = static_cast<uint64_t>(b.U32(data + fixed + 8)) << 32 | b.U32(data + fixed + 12);
  return true;
}

bool ReadProgramFileVersion(HeldFile& file, uint64_t* version) {
  if (!file.Rewind()) return false;
  std::string image;
  char block[64 * 1024];
  for (;;) {
    size_t got = 0;
    if (!file.Read(block, sizeof(block), &got)) return false;
    if (got == 0) break;
    if (image.size() + got > kMaxProgramSize) return false;
    image.append(block, got);
  }
  return ProgramFileVersion(image, version);
}

}  // namespace platform
