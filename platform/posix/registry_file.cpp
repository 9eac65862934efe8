#include "platform/posix/registry_file.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <cwchar>

#include "platform/utf.h"

namespace platform {
namespace posix {

std::wstring LowerWide(std::wstring s) {
  for (auto& c : s) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return s;
}

std::wstring NormalizeKeyPath(const std::wstring& path) {
  std::wstring out;
  for (wchar_t c : path) {
    if (c == L'/') c = L'\\';
    if (c == L'\\' && (out.empty() || out.back() == L'\\')) continue;
    out.push_back(c);
  }
  while (!out.empty() && out.back() == L'\\') out.pop_back();
  return out;
}

namespace {

const wchar_t kRoot[] = L"HKEY_LOCAL_MACHINE";

std::wstring Trim(const std::wstring& s) {
  size_t b = s.find_first_not_of(L" \t\r\n");
  if (b == std::wstring::npos) return std::wstring();
  size_t e = s.find_last_not_of(L" \t\r\n");
  return s.substr(b, e - b + 1);
}

// Reads a quoted .reg string starting at s[i] == '"'; i ends after the closing quote.
bool ReadQuoted(const std::wstring& s, size_t* i, std::wstring* out) {
  if (*i >= s.size() || s[*i] != L'"') return false;
  ++*i;
  out->clear();
  while (*i < s.size()) {
    wchar_t c = s[*i];
    if (c == L'\\' && *i + 1 < s.size()) {
      out->push_back(s[*i + 1]);
      *i += 2;
      continue;
    }
    if (c == L'"') {
      ++*i;
      return true;
    }
    out->push_back(c);
    ++*i;
  }
  return false;
}

std::wstring Quote(const std::wstring& s) {
  std::wstring out = L"\"";
  for (wchar_t c : s) {
    if (c == L'\\' || c == L'"') out.push_back(L'\\');
    out.push_back(c);
  }
  out.push_back(L'"');
  return out;
}

}  // namespace

bool RegistryFile::Load(const std::string& path) {
  keys_.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return true;  // no file: an empty registry
  std::stringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  std::string bytes = buffer.str();
  std::wstring text;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    utf16_ = true;
    text = Utf16LeToWide(bytes.substr(2));
  } else {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    text = Utf8ToWide(bytes);
  }

  std::wistringstream lines(text);
  std::wstring line;
  std::wstring pending;
  RegistryKeyData* current = nullptr;
  while (std::getline(lines, line)) {
    line = Trim(line);
    // Continuation lines of long hex values end with a backslash.
    if (!line.empty() && line.back() == L'\\' && line.find(L'=') != std::wstring::npos &&
        line.find(L"hex") != std::wstring::npos) {
      pending += line.substr(0, line.size() - 1);
      continue;
    }
    if (!pending.empty()) {
      line = pending + line;
      pending.clear();
    }
    if (line.empty()) continue;
    if (line[0] == L';') {
      if (current && line == L";@AccessDenied") current->accessDenied = true;
      continue;
    }
    if (line[0] == L'[') {
      size_t end = line.rfind(L']');
      if (end == std::wstring::npos) return false;
      std::wstring name = line.substr(1, end - 1);
      bool remove = !name.empty() && name[0] == L'-';
      if (remove) name.erase(0, 1);
      std::wstring upper = name.substr(0, wcslen(kRoot));
      if (LowerWide(upper) != LowerWide(kRoot)) {
        current = nullptr;  // other hives are not part of the simulated machine
        continue;
      }
      std::wstring sub = NormalizeKeyPath(name.substr(wcslen(kRoot)));
      if (remove) {
        DeleteKeyTree(sub);
        current = nullptr;
      } else {
        current = CreateKey(sub);
      }
      continue;
    }
    if (line.compare(0, 7, L"Windows") == 0 || line.compare(0, 6, L"REGEDIT") == 0) continue;
    if (!current) continue;
    RegistryValue value;
    size_t i = 0;
    if (line[0] == L'@') {
      i = 1;
    } else if (!ReadQuoted(line, &i, &value.name)) {
      return false;
    }
    while (i < line.size() && line[i] == L' ') ++i;
    if (i >= line.size() || line[i] != L'=') return false;
    ++i;
    while (i < line.size() && line[i] == L' ') ++i;
    std::wstring data = line.substr(i);
    if (!data.empty() && data[0] == L'"') {
      size_t j = 0;
      if (!ReadQuoted(data, &j, &value.text)) return false;
      value.type = "sz";
    } else if (data.compare(0, 6, L"dword:") == 0) {
      value.type = "dword";
      value.dword = std::wcstoul(data.c_str() + 6, nullptr, 16);
    } else if (data == L"-") {
      continue;
    } else {
      size_t colon = data.find(L':');
      value.type = WideToUtf8(data.substr(0, colon));
      value.raw = WideToUtf8(data);
    }
    auto& values = current->values;
    auto existing = std::find_if(values.begin(), values.end(), [&](const RegistryValue& v) {
      return LowerWide(v.name) == LowerWide(value.name);
    });
    if (existing != values.end()) {
      *existing = value;
    } else {
      values.push_back(value);
    }
  }
  return true;
}

bool RegistryFile::Save(const std::string& path) const {
  std::wstring text = L"Windows Registry Editor Version 5.00\r\n";
  for (const auto& entry : keys_) {
    const RegistryKeyData& key = entry.second;
    text += L"\r\n[" + std::wstring(kRoot) + L"\\" + key.path + L"]\r\n";
    if (key.accessDenied) text += L";@AccessDenied\r\n";
    for (const auto& v : key.values) {
      std::wstring name = v.name.empty() ? L"@" : Quote(v.name);
      if (v.type == "sz") {
        text += name + L"=" + Quote(v.text) + L"\r\n";
      } else if (v.type == "dword") {
        wchar_t buf[16];
        swprintf(buf, 16, L"%08lx", v.dword);
        text += name + L"=dword:" + buf + L"\r\n";
      } else {
        text += name + L"=" + Utf8ToWide(v.raw) + L"\r\n";
      }
    }
  }
  std::string bytes = utf16_ ? std::string("\xFF\xFE") + WideToUtf16Le(text) : WideToUtf8(text);
  // Written beside and renamed over, so that a reader never sees half a registry.
  std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) return false;
  }
  return std::rename(temp.c_str(), path.c_str()) == 0;
}

const RegistryKeyData* RegistryFile::FindKey(const std::wstring& path) const {
  std::wstring lower = LowerWide(NormalizeKeyPath(path));
  auto it = keys_.find(lower);
  if (it != keys_.end()) return &it->second;
  return nullptr;
}

RegistryKeyData* RegistryFile::CreateKey(const std::wstring& path) {
  std::wstring normal = NormalizeKeyPath(path);
  // Parents exist implicitly, as they do in the registry.
  size_t pos = 0;
  while ((pos = normal.find(L'\\', pos)) != std::wstring::npos) {
    std::wstring parent = normal.substr(0, pos);
    auto& p = keys_[LowerWide(parent)];
    if (p.path.empty()) p.path = parent;
    ++pos;
  }
  auto& key = keys_[LowerWide(normal)];
  if (key.path.empty()) key.path = normal;
  return &key;
}

std::vector<std::wstring> RegistryFile::Subkeys(const std::wstring& path) const {
  std::wstring prefix = LowerWide(NormalizeKeyPath(path));
  if (!prefix.empty()) prefix += L"\\";
  std::set<std::wstring> seen;
  std::vector<std::wstring> names;
  for (const auto& entry : keys_) {
    if (entry.first.size() <= prefix.size() || entry.first.compare(0, prefix.size(), prefix) != 0) continue;
    std::wstring rest = entry.second.path.substr(prefix.size());
    size_t slash = rest.find(L'\\');
    if (slash != std::wstring::npos) rest = rest.substr(0, slash);
    if (seen.insert(LowerWide(rest)).second) names.push_back(rest);
  }
  std::sort(names.begin(), names.end(),
            [](const std::wstring& a, const std::wstring& b) { return LowerWide(a) < LowerWide(b); });
  return names;
}

const RegistryValue* RegistryFile::FindValue(const RegistryKeyData& key, const std::wstring& name) {
  std::wstring lower = LowerWide(name);
  for (const auto& v : key.values) {
    if (LowerWide(v.name) == lower) return &v;
  }
  return nullptr;
}

void RegistryFile::SetString(const std::wstring& keyPath, const std::wstring& name, const std::wstring& value) {
  RegistryKeyData* key = CreateKey(keyPath);
  for (auto& v : key->values) {
    if (LowerWide(v.name) == LowerWide(name)) {
      v = RegistryValue{name, "sz", value, 0, std::string()};
      return;
    }
  }
  key->values.push_back(RegistryValue{name, "sz", value, 0, std::string()});
}

bool RegistryFile::DeleteKeyTree(const std::wstring& path) {
  std::wstring lower = LowerWide(NormalizeKeyPath(path));
  bool any = false;
  for (auto it = keys_.begin(); it != keys_.end();) {
    if (it->first == lower || it->first.compare(0, lower.size() + 1, lower + L"\\") == 0) {
      it = keys_.erase(it);
      any = true;
    } else {
      ++it;
    }
  }
  return any;
}

}  // namespace posix
}  // namespace platform
