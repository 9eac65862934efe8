#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {
class XmlDocument;
}

// Found states of a lookup.
constexpr int32_t kXmlFound = 1;
constexpr int32_t kXmlNotFound = 0;
constexpr int32_t kXmlDomFailure = -1;

// The launcher's XML files hold tens of keys, or a few thousand packages; a
// larger one is refused as malformed (read from disk or from a server), so
// that a hostile file cannot exhaust a 32-bit launcher's memory.
constexpr uint64_t kMaxXmlFileBytes = 8 * 1024 * 1024;

// Reads single values of one XML file by key paths such as
// "LaunchData/LaunchBase/ProductType/": the names of the elements from the root
// down, each followed by "/". The value of a key path is the direct text of the
// first element, in document order, whose path equals it and that has text.
//
// The document is walked once, at load, into an index of first texts and first
// attribute sets by path, so that a file with thousands of entries reads in
// linear time. A DOM failure during that walk is remembered: lookups that the
// walk answered before the failure still find their value, all others report -1.
class XmlConfigReader {
 public:
  XmlConfigReader();
  ~XmlConfigReader();
  XmlConfigReader(const XmlConfigReader&) = delete;
  XmlConfigReader& operator=(const XmlConfigReader&) = delete;

  // False when a document is already held, or the file cannot be parsed:
  // also when it is larger than kMaxXmlFileBytes, or its index does not fit
  // into memory (kErrorNotEnoughMemory).
  bool Load(const std::wstring& path);
  // The same for a file's bytes already in memory.
  bool LoadBytes(const std::string& bytes);
  bool IsLoaded() const;

  std::wstring GetString(const std::wstring& keyPath, const std::wstring& defaultValue, int32_t* found) const;
  int32_t GetInt(const std::wstring& keyPath, int32_t defaultValue, int32_t* found) const;
  uint32_t GetUInt(const std::wstring& keyPath, uint32_t defaultValue, int32_t* found) const;
  std::wstring GetAttribute(const std::wstring& keyPath, const std::wstring& name, int32_t* found) const;

  // The indexes up to last, in ascending order, of the elements named prefix
  // + index that are direct children at parentPath, the index written in
  // decimal with at least minDigits digits (2 as "%02u" writes it): exactly
  // the entries that a loop over every index up to last would find, at a
  // cost that follows the size of the file, however far off an index is.
  std::vector<uint32_t> PresentIndexes(const std::wstring& parentPath, const std::wstring& prefix,
                                       size_t minDigits, uint32_t last) const;

  struct Index;

 private:
  bool Read(const std::function<bool(platform::XmlDocument*)>& load);

  std::unique_ptr<Index> index_;
};
