#include "platform/xml.h"

#include <libxml/SAX2.h>
#include <libxml/dict.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstdint>
#include <unordered_map>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/utf.h"

namespace platform {

struct XmlDocument::Impl {
  xmlDocPtr doc = nullptr;
  ~Impl() {
    if (doc) xmlFreeDoc(doc);
  }
};

namespace {

// The launcher's files never carry a DTD; refusing one at its very start keeps
// entity expansion (and its memory bombs) and any external fetch out entirely.
void RefuseDoctype(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
  auto* parser = static_cast<xmlParserCtxtPtr>(context);
  parser->_private = reinterpret_cast<void*>(1);
  xmlStopParser(parser);
}

// libxml2 keeps every distinct name in a dictionary whose lookups slow down
// as it grows far past what any of the launcher's files holds (a file of
// half a million distinct element names takes tens of seconds); such a file
// is refused once it passes this many.
constexpr size_t kMaxDistinctNames = 100000;

void StartElementCounted(void* context, const xmlChar* name, const xmlChar* prefix, const xmlChar* uri,
                         int namespaces, const xmlChar** namespaceList, int attributes, int defaulted,
                         const xmlChar** attributeList) {
  xmlSAX2StartElementNs(context, name, prefix, uri, namespaces, namespaceList, attributes, defaulted, attributeList);
  auto* parser = static_cast<xmlParserCtxtPtr>(context);
  if (static_cast<size_t>(xmlDictSize(parser->dict)) > kMaxDistinctNames) {
    parser->_private = reinterpret_cast<void*>(1);
    xmlStopParser(parser);
  }
}

xmlParserInputPtr NoExternalEntities(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

void Silence(void*, const char*, ...) {}

bool IsBlank(const xmlChar* text) {
  for (; text && *text; ++text) {
    if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n') return false;
  }
  return true;
}

class Walker {
 public:
  explicit Walker(XmlVisitor* visitor) : visitor_(visitor) {}
  void Children(xmlNodePtr node) {
    for (xmlNodePtr child = node->children; child; child = child->next) {
      if (child->type == XML_ELEMENT_NODE) {
        visitor_->OnElementStart(Name(child->name));
        for (xmlAttrPtr attr = child->properties; attr; attr = attr->next) {
          xmlChar* value = xmlNodeListGetString(child->doc, attr->children, 1);
          visitor_->OnAttribute(Name(attr->name), Utf8ToWide(value ? reinterpret_cast<char*>(value) : ""));
          if (value) xmlFree(value);
        }
        Children(child);
        visitor_->OnElementEnd();
      } else if (child->type == XML_TEXT_NODE && !IsBlank(child->content)) {
        visitor_->OnText(Utf8ToWide(reinterpret_cast<const char*>(child->content)));
      }
    }
  }

 private:
  // Names are interned by the parser; convert each one once.
  const std::wstring& Name(const xmlChar* name) {
    auto it = names_.find(name);
    if (it == names_.end()) it = names_.emplace(name, Utf8ToWide(reinterpret_cast<const char*>(name))).first;
    return it->second;
  }
  XmlVisitor* visitor_;
  std::unordered_map<const xmlChar*, std::wstring> names_;
};

}  // namespace

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) {}
XmlDocument::~XmlDocument() = default;

bool XmlDocument::Load(const std::wstring& path, uint64_t maxBytes) {
  // The file is read here, so that a missing or unreadable one reports why,
  // and the parser itself never opens anything. A file past the cap is
  // refused by its size before any of it is read; one that grows meanwhile
  // is still read no further than the cap.
  std::string bytes;
  uint64_t size = 0;
  const bool tooLarge = GetFileSize(path, &size) && size > maxBytes;
  if (tooLarge || !ReadWholeFile(path, &bytes, maxBytes)) {
    if (tooLarge || LastError() == kErrorFileTooLarge) SetLastError(kErrorInvalidData);
    return false;
  }
  return LoadBytes(bytes, maxBytes);
}

bool XmlDocument::LoadBytes(const std::string& bytes, uint64_t maxBytes) {
  static const bool initialised = [] {
    xmlInitParser();
    xmlSetExternalEntityLoader(NoExternalEntities);
    xmlSetGenericErrorFunc(nullptr, Silence);
    return true;
  }();
  (void)initialised;
  if (impl_->doc) return false;
  xmlParserCtxtPtr parser = xmlNewParserCtxt();
  if (!parser) {
    SetLastError(kErrorNotEnoughMemory);
    return false;
  }
  parser->sax->internalSubset = RefuseDoctype;
  parser->sax->startElementNs = StartElementCounted;
  parser->_private = nullptr;
  const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  if (bytes.size() > maxBytes || bytes.size() > static_cast<size_t>(INT32_MAX)) {
    xmlFreeParserCtxt(parser);
    SetLastError(bytes.size() > maxBytes ? kErrorInvalidData : kErrorNotEnoughMemory);
    return false;
  }
  xmlDocPtr doc = xmlCtxtReadMemory(parser, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr, options);
  const bool refused = parser->_private != nullptr;
  const bool wellFormed = parser->wellFormed != 0;
  xmlFreeParserCtxt(parser);
  if (!doc || refused || !wellFormed || !xmlDocGetRootElement(doc)) {
    if (doc) xmlFreeDoc(doc);
    SetLastError(kErrorInvalidData);
    return false;
  }
  impl_->doc = doc;
  return true;
}

bool XmlDocument::Walk(XmlVisitor* visitor) const {
  if (!impl_->doc) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  Walker walker(visitor);
  walker.Children(reinterpret_cast<xmlNodePtr>(impl_->doc));
  return true;
}

}  // namespace platform
