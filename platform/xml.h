#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Receives a document's nodes in document order. Only elements, their
// attributes and plain text nodes are reported; CDATA sections, comments,
// processing instructions and white-space-only text are passed over.
class XmlVisitor {
 public:
  virtual ~XmlVisitor() = default;
  virtual void OnElementStart(const std::wstring& name) = 0;
  virtual void OnAttribute(const std::wstring& name, const std::wstring& value) = 0;
  virtual void OnText(const std::wstring& text) = 0;
  virtual void OnElementEnd() = 0;
};

// The system's XML DOM (MSXML on Windows, libxml2 on Linux), hardened: no
// DTD, no external entities, no network access, no document nested deeper
// than kMaxXmlDepth elements (libxml2's own limit, which MSXML is told too).
constexpr uint32_t kMaxXmlDepth = 256;

class XmlDocument {
 public:
  XmlDocument();
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // False when the DOM object cannot be created or the file does not parse
  // (missing, unreadable, not well-formed, wrongly encoded, carrying a DTD,
  // nested too deeply). A file larger than maxBytes is refused as not
  // well-formed (kErrorInvalidData) before it is parsed.
  [[nodiscard]] bool Load(const std::wstring& path, uint64_t maxBytes);
  // The same for a document already in memory, parsed by the same DOM with the same limits.
  [[nodiscard]] bool LoadBytes(const std::string& bytes, uint64_t maxBytes);
  // Walks the whole document; false when a DOM call failed on the way (the
  // visitor has then seen the nodes before the failure).
  bool Walk(XmlVisitor* visitor) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
