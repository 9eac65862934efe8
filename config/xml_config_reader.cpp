#include "config/xml_config_reader.h"

#include <utility>
#include <vector>

#include "app/text.h"
#include "platform/xml.h"

using Attributes = std::vector<std::pair<std::wstring, std::wstring>>;

struct XmlConfigReader::Index {
  bool walkFailed = false;
  // Direct text of the first element of each path that has any.
  std::unordered_map<std::wstring, std::wstring> firstText;
  // Attributes of the first element of each path; its keys are every element path.
  std::unordered_map<std::wstring, Attributes> firstAttributes;
};

namespace {

class IndexBuilder : public platform::XmlVisitor {
 public:
  explicit IndexBuilder(XmlConfigReader::Index* index) : index_(index) {}

  void OnElementStart(const std::wstring& name) override {
    lengths_.push_back(path_.size());
    path_ += name;
    path_ += L'/';
    auto inserted = index_->firstAttributes.try_emplace(path_);
    attributes_ = inserted.second ? &inserted.first->second : nullptr;
  }

  void OnAttribute(const std::wstring& name, const std::wstring& value) override {
    if (attributes_) attributes_->emplace_back(name, value);
  }

  // Elements of one path never nest, so the first text met for a path is the
  // direct text of the first element of that path that has any.
  void OnText(const std::wstring& text) override {
    attributes_ = nullptr;
    if (!lengths_.empty()) index_->firstText.try_emplace(path_, text);
  }

  void OnElementEnd() override {
    attributes_ = nullptr;
    if (lengths_.empty()) return;
    path_.resize(lengths_.back());
    lengths_.pop_back();
  }

 private:
  XmlConfigReader::Index* index_;
  std::wstring path_;
  std::vector<size_t> lengths_;
  Attributes* attributes_ = nullptr;
};

}  // namespace

XmlConfigReader::XmlConfigReader() = default;
XmlConfigReader::~XmlConfigReader() = default;

bool XmlConfigReader::Load(const std::wstring& path) {
  if (index_) return false;
  platform::XmlDocument document;
  if (!document.Load(path)) return false;
  auto index = std::make_unique<Index>();
  IndexBuilder builder(index.get());
  index->walkFailed = !document.Walk(&builder);
  index_ = std::move(index);
  return true;
}

bool XmlConfigReader::IsLoaded() const { return index_ != nullptr; }

std::wstring XmlConfigReader::GetString(const std::wstring& keyPath, const std::wstring& defaultValue,
                                        int32_t* found) const {
  int32_t state = kXmlDomFailure;
  std::wstring value;
  if (index_) {
    auto it = index_->firstText.find(keyPath);
    if (it != index_->firstText.end()) {
      state = kXmlFound;
      value = it->second;
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
    auto it = index_->firstAttributes.find(keyPath);
    if (it != index_->firstAttributes.end()) {
      state = kXmlFound;
      for (const auto& attribute : it->second) {
        if (attribute.first == name) {
          value = attribute.second;
          break;
        }
      }
    } else {
      state = index_->walkFailed ? kXmlDomFailure : kXmlNotFound;
    }
  }
  if (found) *found = state;
  return value;
}

int64_t XmlConfigReader::HighestIndexedChild(const std::wstring& parentPath, const std::wstring& prefix) const {
  if (!index_) return -1;
  const std::wstring head = parentPath + prefix;
  int64_t highest = -1;
  for (const auto& entry : index_->firstAttributes) {
    const std::wstring& path = entry.first;
    if (path.size() <= head.size() + 1 || path.compare(0, head.size(), head) != 0) continue;
    size_t i = head.size();
    int64_t value = 0;
    bool digits = false;
    for (; i < path.size() && path[i] >= L'0' && path[i] <= L'9'; ++i) {
      digits = true;
      if (value < (int64_t{1} << 40)) value = value * 10 + (path[i] - L'0');
    }
    if (digits && i + 1 == path.size() && path[i] == L'/' && value > highest) highest = value;
  }
  return highest;
}
