#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

// Found states of a lookup.
constexpr int32_t kXmlFound = 1;
constexpr int32_t kXmlNotFound = 0;
constexpr int32_t kXmlDomFailure = -1;

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

  // False when a document is already held, or the file cannot be parsed.
  bool Load(const std::wstring& path);
  bool IsLoaded() const;

  std::wstring GetString(const std::wstring& keyPath, const std::wstring& defaultValue, int32_t* found) const;
  int32_t GetInt(const std::wstring& keyPath, int32_t defaultValue, int32_t* found) const;
  uint32_t GetUInt(const std::wstring& keyPath, uint32_t defaultValue, int32_t* found) const;
  std::wstring GetAttribute(const std::wstring& keyPath, const std::wstring& name, int32_t* found) const;

  // The highest decimal index N for which an element "<prefix>N" (with any
  // number of digits) appears as a direct child at parentPath; -1 when none.
  // Bounds the loops over indexed entries whose declared count is absurd.
  int64_t HighestIndexedChild(const std::wstring& parentPath, const std::wstring& prefix) const;

  struct Index;

 private:
  std::unique_ptr<Index> index_;
};
