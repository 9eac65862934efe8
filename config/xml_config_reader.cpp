#include "config/xml_config_reader.h"

#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "base/text.h"
#include "platform/error.h"
#include "platform/xml.h"

using Attributes = std::vector<std::pair<std::wstring, std::wstring>>;

// Every element path of the document is one node of a tree; a node is found
// from its parent by the interned name of its last element. Integer keys keep
// the index small and its build cheap: a download configuration with
// thousands of packages has tens of thousands of element paths.
struct XmlConfigReader::Index {
  struct Node {
    int32_t text = -1;        // direct text of the first element of the path that has any
    int32_t attributes = -1;  // attributes of the first element of the path
  };

  bool walkFailed = false;
  std::unordered_map<std::wstring, uint32_t> names;
  std::unordered_map<uint64_t, uint32_t> children;  // (parent << 32 | name) -> node
  std::vector<Node> nodes = std::vector<Node>(1);   // node 0: the document
  std::vector<std::wstring> texts;
  std::vector<Attributes> attributes;

  static uint64_t ChildKey(uint32_t parent, uint32_t name) { return (static_cast<uint64_t>(parent) << 32) | name; }

  // The node of a key path ("A/B/C/"); false when the document has no such path.
  bool Find(const std::wstring& keyPath, uint32_t* node) const {
    if (keyPath.empty()) return false;
    uint32_t current = 0;
    std::wstring name;
    for (size_t start = 0; start < keyPath.size();) {
      size_t slash = keyPath.find(L'/', start);
      if (slash == std::wstring::npos) return false;
      name.assign(keyPath, start, slash - start);
      auto n = names.find(name);
      if (n == names.end()) return false;
      auto child = children.find(ChildKey(current, n->second));
      if (child == children.end()) return false;
      current = child->second;
      start = slash + 1;
    }
    *node = current;
    return true;
  }
};

namespace {

class IndexBuilder : public platform::XmlVisitor {
 public:
  explicit IndexBuilder(XmlConfigReader::Index* index) : index_(index) { stack_.push_back(0); }

  void OnElementStart(const std::wstring& name) override {
    auto interned = index_->names.try_emplace(name, static_cast<uint32_t>(index_->names.size())).first;
    auto inserted = index_->children.try_emplace(XmlConfigReader::Index::ChildKey(stack_.back(), interned->second),
                                                 static_cast<uint32_t>(index_->nodes.size()));
    if (inserted.second) index_->nodes.emplace_back();
    stack_.push_back(inserted.first->second);
    // Only the first element of a path contributes its attributes.
    collecting_ = inserted.second;
  }

  void OnAttribute(const std::wstring& name, const std::wstring& value) override {
    if (!collecting_) return;
    XmlConfigReader::Index::Node& node = index_->nodes[stack_.back()];
    if (node.attributes < 0) {
      node.attributes = static_cast<int32_t>(index_->attributes.size());
      index_->attributes.emplace_back();
    }
    index_->attributes[node.attributes].emplace_back(name, value);
  }

  // Elements of one path never nest, so the first text met for a path is the
  // direct text of the first element of that path that has any.
  void OnText(const std::wstring& text) override {
    collecting_ = false;
    if (stack_.size() < 2) return;
    XmlConfigReader::Index::Node& node = index_->nodes[stack_.back()];
    if (node.text >= 0) return;
    node.text = static_cast<int32_t>(index_->texts.size());
    index_->texts.push_back(text);
  }

  void OnElementEnd() override {
    collecting_ = false;
    if (stack_.size() > 1) stack_.pop_back();
  }

 private:
  XmlConfigReader::Index* index_;
  std::vector<uint32_t> stack_;
  bool collecting_ = false;
};

}  // namespace

XmlConfigReader::XmlConfigReader() = default;
XmlConfigReader::~XmlConfigReader() = default;

bool XmlConfigReader::Load(const std::wstring& path) {
  return Read([&](platform::XmlDocument* document) { return document->Load(path, kMaxXmlFileBytes); });
}

bool XmlConfigReader::LoadBytes(const std::string& bytes) {
  return Read([&](platform::XmlDocument* document) { return document->LoadBytes(bytes, kMaxXmlFileBytes); });
}

bool XmlConfigReader::Read(const std::function<bool(platform::XmlDocument*)>& load) {
  if (index_) return false;
  try {
    platform::XmlDocument document;
    if (!load(&document)) return false;
    auto index = std::make_unique<Index>();
    IndexBuilder builder(index.get());
    index->walkFailed = !document.Walk(&builder);
    index_ = std::move(index);
    return true;
  } catch (const std::bad_alloc&) {
    // A file the memory cannot hold is a file the launcher cannot read.
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    return false;
  }
}

bool XmlConfigReader::IsLoaded() const { return index_ != nullptr; }

std::wstring XmlConfigReader::GetString(const std::wstring& keyPath, const std::wstring& defaultValue,
                                        int32_t* found) const {
  int32_t state = kXmlDomFailure;
  std::wstring value;
  if (index_) {
    uint32_t node = 0;
    if (index_->Find(keyPath, &node) && index_->nodes[node].text >= 0) {
      state = kXmlFound;
      value = index_->texts[index_->nodes[node].text];
    } else {
      state = index_->walkFailed ? kXmlDomFailure : kXmlNotFound;
    }
  }
  if (found) *found = state;
  if (state == kXmlNotFound && value.empty()) return defaultValue;
  return value;
}

int32_t XmlConfigReader::GetInt(const std::wstring& keyPath, int32_t defaultValue, int32_t* found) const {
  int32_t state = kXmlDomFailure;
  std::wstring text = GetString(keyPath, std::wstring(), &state);
  if (found) *found = state;
  return state == kXmlFound ? ParseDecimalInt(text) : defaultValue;
}

uint32_t XmlConfigReader::GetUInt(const std::wstring& keyPath, uint32_t defaultValue, int32_t* found) const {
  int32_t state = kXmlDomFailure;
  std::wstring text = GetString(keyPath, std::wstring(), &state);
  if (found) *found = state;
  return state == kXmlFound ? ParseDecimalUInt(text) : defaultValue;
}

std::wstring XmlConfigReader::GetAttribute(const std::wstring& keyPath, const std::wstring& name,
                                           int32_t* found) const {
  int32_t state = kXmlDomFailure;
  std::wstring value;
  if (index_) {
    uint32_t node = 0;
    if (index_->Find(keyPath, &node)) {
      state = kXmlFound;
      int32_t list = index_->nodes[node].attributes;
      if (list >= 0) {
        for (const auto& attribute : index_->attributes[list]) {
          if (attribute.first == name) {
            value = attribute.second;
            break;
          }
        }
      }
    } else {
      state = index_->walkFailed ? kXmlDomFailure : kXmlNotFound;
    }
  }
  if (found) *found = state;
  return value;
}

std::vector<uint32_t> XmlConfigReader::PresentIndexes(const std::wstring& parentPath, const std::wstring& prefix,
                                                      size_t minDigits, uint32_t last) const {
  std::vector<uint32_t> present;
  uint32_t parent = 0;
  if (!index_ || (!parentPath.empty() && !index_->Find(parentPath, &parent))) return present;
  // Each distinct element name that reads prefix + an index as it would be
  // written is looked up as a child of the parent.
  for (const auto& entry : index_->names) {
    const std::wstring& name = entry.first;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const size_t digits = name.size() - prefix.size();
    if (digits < minDigits || digits > 10 || (digits > minDigits && name[prefix.size()] == L'0')) continue;
    uint64_t value = 0;
    size_t i = prefix.size();
    for (; i < name.size() && name[i] >= L'0' && name[i] <= L'9'; ++i) value = value * 10 + (name[i] - L'0');
    if (i != name.size() || value > last) continue;
    if (index_->children.count(Index::ChildKey(parent, entry.second))) present.push_back(static_cast<uint32_t>(value));
  }
  std::sort(present.begin(), present.end());
  return present;
}
