#include "platform/xml.h"

#include <windows.h>
#include <msxml2.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/win32/com_ptr_win.h"

namespace platform {

using win32::Bstr;
using win32::ComPtr;
using win32::Variant;

namespace {

// The system's DOM document class and the interfaces used on it.
constexpr CLSID kClsidDomDocument = {
    0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
constexpr IID kIidXmlDomDocument = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidXmlDomDocument2 = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

bool IsXmlWhiteSpace(const std::wstring& text) {
  for (wchar_t c : text) {
    if (c != L' ' && c != L'\t' && c != L'\r' && c != L'\n') return false;
  }
  return true;
}

bool NodeName(IXMLDOMNode* node, std::wstring* name) {
  Bstr b;
  if (node->get_nodeName(b.Receive()) != S_OK) return false;
  *name = b.str();
  return true;
}

// The value of a text or attribute node, as a string.
bool NodeValue(IXMLDOMNode* node, std::wstring* value) {
  Variant v;
  if (FAILED(node->get_nodeValue(v.Receive()))) return false;
  if (v.value().vt == VT_NULL || v.value().vt == VT_EMPTY) {
    value->clear();
    return true;
  }
  if (v.value().vt != VT_BSTR && FAILED(::VariantChangeType(v.get(), v.get(), 0, VT_BSTR))) return false;
  BSTR b = v.value().bstrVal;
  value->assign(b ? b : L"", b ? ::SysStringLen(b) : 0);
  return true;
}

bool ReportAttributes(IXMLDOMNode* element, XmlVisitor* visitor) {
  ComPtr<IXMLDOMNamedNodeMap> attributes;
  if (element->get_attributes(attributes.Receive()) != S_OK || !attributes) return false;
  long count = 0;
  if (FAILED(attributes->get_length(&count))) return false;
  for (long i = 0; i < count; ++i) {
    ComPtr<IXMLDOMNode> attribute;
    if (attributes->get_item(i, attribute.Receive()) != S_OK || !attribute) return false;
    std::wstring name, value;
    if (!NodeName(attribute.get(), &name) || !NodeValue(attribute.get(), &value)) return false;
    visitor->OnAttribute(name, value);
  }
  return true;
}

// The children of one node still to be visited.
struct Level {
  ComPtr<IXMLDOMNodeList> children;
  long count = 0;
  long next = 0;
  bool isElement = false;
};

bool OpenLevel(IXMLDOMNode* node, bool isElement, std::vector<Level>* levels) {
  Level level;
  level.isElement = isElement;
  if (node->get_childNodes(level.children.Receive()) != S_OK || !level.children) return false;
  if (FAILED(level.children->get_length(&level.count))) return false;
  levels->push_back(std::move(level));
  return true;
}

bool FailWith(uint32_t code) {
  SetLastError(code);
  return false;
}

// Where a DOM lacks the decoder of a legacy encoding (Wine's has none for the
// Japanese code pages), the launcher decodes such a file itself and hands the
// DOM the text. The XML declaration is ASCII in all of them.
struct LegacyEncoding {
  const char* name;  // lower case
  UINT codePage;
};
constexpr LegacyEncoding kLegacyEncodings[] = {
    {"shift_jis", 932}, {"shift-jis", 932}, {"sjis", 932},     {"x-sjis", 932},
    {"ms_kanji", 932},  {"csshiftjis", 932}, {"windows-31j", 932}, {"cp932", 932},
    {"euc-jp", 20932},  {"x-euc-jp", 20932}, {"windows-1252", 1252},
};

// Finds the encoding named by the XML declaration at the start of the file:
// the offset and length of the name, and its code page when it is one of the above.
bool DeclaredLegacyEncoding(const std::string& bytes, size_t* offset, size_t* length, UINT* codePage) {
  if (bytes.compare(0, 5, "<?xml") != 0) return false;
  const size_t end = bytes.find("?>");
  if (end == std::string::npos || end > 512) return false;
  const std::string declaration = bytes.substr(0, end);
  auto skipBlanks = [&declaration](size_t pos) {
    while (pos < declaration.size() && (declaration[pos] == ' ' || declaration[pos] == '\t' ||
                                        declaration[pos] == '\r' || declaration[pos] == '\n'))
      ++pos;
    return pos;
  };
  size_t pos = declaration.find("encoding");
  if (pos == std::string::npos) return false;
  pos = skipBlanks(pos + 8);
  if (pos >= declaration.size() || declaration[pos] != '=') return false;
  pos = skipBlanks(pos + 1);
  if (pos >= declaration.size() || (declaration[pos] != '"' && declaration[pos] != '\'')) return false;
  const char quote = declaration[pos++];
  const size_t close = declaration.find(quote, pos);
  if (close == std::string::npos) return false;
  std::string name = declaration.substr(pos, close - pos);
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const LegacyEncoding& e : kLegacyEncodings) {
    if (name == e.name) {
      *offset = pos;
      *length = close - pos;
      *codePage = e.codePage;
      return true;
    }
  }
  return false;
}

// Second attempt for a file in a legacy encoding that the DOM refused: decode
// it here (invalid byte sequences refuse the file) and load the text.
bool LoadDecodedHere(IXMLDOMDocument* document, std::string bytes) {
  size_t offset = 0, length = 0;
  UINT codePage = 0;
  if (!DeclaredLegacyEncoding(bytes, &offset, &length, &codePage)) return false;
  // The text reaches the DOM as UTF-16, and the declaration must say so.
  bytes.replace(offset, length, "UTF-16");
  const int chars = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(),
                                          static_cast<int>(bytes.size()), nullptr, 0);
  if (chars <= 0) return false;
  BSTR text = ::SysAllocStringLen(nullptr, static_cast<UINT>(chars));
  if (!text) return false;
  ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), text,
                        chars);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  const HRESULT hr = document->loadXML(text, &loaded);
  ::SysFreeString(text);
  return SUCCEEDED(hr) && loaded == VARIANT_TRUE;
}

// Sets a DOM property of a number; older DOM versions lack some properties.
void SetNumberProperty(IXMLDOMDocument2* document, const wchar_t* name, long value) {
  Variant number;
  number.get()->vt = VT_I4;
  number.get()->lVal = value;
  Bstr property(name);
  document->setProperty(property.get(), number.value());
}

}  // namespace

struct XmlDocument::Impl {
  ComPtr<IXMLDOMDocument> document;
};

XmlDocument::XmlDocument() : impl_(std::make_unique<Impl>()) {}
XmlDocument::~XmlDocument() = default;

namespace {

// Loads source (a file's path, or the document's bytes) into a DOM hardened as the launcher's files need;
// bytes gives the document's bytes for a second attempt in a legacy encoding.
bool LoadHardened(const VARIANT& source, uint64_t maxBytes, const std::function<bool(std::string*)>& bytes,
                  ComPtr<IXMLDOMDocument>* loadedDocument) {
  ComPtr<IXMLDOMDocument> document;
  HRESULT hr = ::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument,
                                  document.ReceiveVoid());
  if (FAILED(hr) || !document) return FailWith(static_cast<uint32_t>(hr));
  if (FAILED(document->put_async(VARIANT_FALSE))) return FailWith(kErrorGenFailure);
  // The launcher's files are plain data: nothing is fetched from elsewhere,
  // nothing is validated against a schema, no DTD is accepted.
  if (FAILED(document->put_resolveExternals(VARIANT_FALSE))) return FailWith(kErrorGenFailure);
  if (FAILED(document->put_validateOnParse(VARIANT_FALSE))) return FailWith(kErrorGenFailure);
  if (FAILED(document->put_preserveWhiteSpace(VARIANT_FALSE))) return FailWith(kErrorGenFailure);
  ComPtr<IXMLDOMDocument2> document2;
  if (SUCCEEDED(document->QueryInterface(kIidXmlDomDocument2, document2.ReceiveVoid())) && document2) {
    Variant prohibit;
    prohibit.get()->vt = VT_BOOL;
    prohibit.get()->boolVal = VARIANT_TRUE;
    Bstr name(L"ProhibitDTD");
    // Older DOM versions do not know the property; the check after loading covers them.
    document2->setProperty(name.get(), prohibit.value());
    // The same caps in the DOM itself, also for a file that grew since its size was read.
    const uint64_t maxKilobytes = std::min<uint64_t>((maxBytes + 1023) / 1024, LONG_MAX);
    SetNumberProperty(document2.get(), L"MaxXMLSize", static_cast<long>(maxKilobytes));
    SetNumberProperty(document2.get(), L"MaxElementDepth", static_cast<long>(kMaxXmlDepth));
  }

  VARIANT_BOOL loaded = VARIANT_FALSE;
  hr = document->load(source, &loaded);
  std::string text;
  if ((FAILED(hr) || loaded != VARIANT_TRUE) && bytes(&text) && LoadDecodedHere(document.get(), std::move(text))) {
    hr = S_OK;
    loaded = VARIANT_TRUE;
  }
  // The DOM gives no system error; the file was there, so its content is bad.
  if (FAILED(hr) || loaded != VARIANT_TRUE) return FailWith(kErrorInvalidData);
  // A document type declaration is refused even where the DOM accepted it.
  ComPtr<IXMLDOMDocumentType> doctype;
  if (FAILED(document->get_doctype(doctype.Receive()))) return FailWith(kErrorInvalidData);
  if (doctype) return FailWith(kErrorInvalidData);
  *loadedDocument = std::move(document);
  return true;
}

}  // namespace

bool XmlDocument::Load(const std::wstring& path, uint64_t maxBytes) {
  impl_->document.Reset();
  // Only files are read: the DOM would also fetch an address from the network.
  WIN32_FILE_ATTRIBUTE_DATA file;
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &file)) return false;
  if (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return FailWith(kErrorAccessDenied);
  // Held whole in memory, a file past the cap could exhaust the address space.
  const uint64_t size = (static_cast<uint64_t>(file.nFileSizeHigh) << 32) | file.nFileSizeLow;
  if (size > maxBytes) return FailWith(kErrorInvalidData);
  Variant source;
  source.get()->vt = VT_BSTR;
  source.get()->bstrVal = ::SysAllocStringLen(path.data(), static_cast<UINT>(path.size()));
  if (!source.value().bstrVal) return FailWith(kErrorNotEnoughMemory);
  return LoadHardened(source.value(), maxBytes,
                      [&](std::string* bytes) { return ReadWholeFile(path, bytes, maxBytes); }, &impl_->document);
}

bool XmlDocument::LoadBytes(const std::string& bytes, uint64_t maxBytes) {
  impl_->document.Reset();
  if (bytes.size() > maxBytes) return FailWith(kErrorInvalidData);
  // A byte array lets the DOM read the encoding the document declares, as from a file.
  Variant source;
  source.get()->vt = VT_ARRAY | VT_UI1;
  source.get()->parray = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  void* data = nullptr;
  if (!source.value().parray || FAILED(::SafeArrayAccessData(source.value().parray, &data))) {
    return FailWith(kErrorNotEnoughMemory);
  }
  std::copy(bytes.begin(), bytes.end(), static_cast<char*>(data));
  ::SafeArrayUnaccessData(source.value().parray);
  return LoadHardened(source.value(), maxBytes, [&](std::string* copy) { return *copy = bytes, true; },
                      &impl_->document);
}

bool XmlDocument::Walk(XmlVisitor* visitor) const {
  if (!impl_->document) return FailWith(kErrorInvalidHandle);
  // Iterative, so that a deeply nested file cannot exhaust the stack.
  std::vector<Level> levels;
  if (!OpenLevel(impl_->document.get(), false, &levels)) return FailWith(kErrorInvalidData);
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.next >= level.count) {
      const bool closesElement = level.isElement;
      levels.pop_back();
      if (closesElement) visitor->OnElementEnd();
      continue;
    }
    ComPtr<IXMLDOMNode> child;
    if (level.children->get_item(level.next++, child.Receive()) != S_OK || !child)
      return FailWith(kErrorInvalidData);
    DOMNodeType type = NODE_INVALID;
    if (FAILED(child->get_nodeType(&type))) return FailWith(kErrorInvalidData);
    if (type == NODE_ELEMENT) {
      std::wstring name;
      if (!NodeName(child.get(), &name)) return FailWith(kErrorInvalidData);
      visitor->OnElementStart(name);
      if (!ReportAttributes(child.get(), visitor)) return FailWith(kErrorInvalidData);
      // May reallocate levels: level is not used after this.
      if (!OpenLevel(child.get(), true, &levels)) return FailWith(kErrorInvalidData);
    } else if (type == NODE_TEXT) {
      std::wstring text;
      if (!NodeValue(child.get(), &text)) return FailWith(kErrorInvalidData);
      if (!IsXmlWhiteSpace(text)) visitor->OnText(text);
    }
    // CDATA sections, comments, processing instructions (the XML declaration
    // among them) and the document type are passed over.
  }
  return true;
}

}  // namespace platform
