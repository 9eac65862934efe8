#include "tests/support/sim_machine_posix.h"

#include <cstdlib>

#include "platform/posix/registry_file.h"
#include "platform/utf.h"

namespace tavo_test {

SimMachine::SimMachine() {
  if (const char* old = std::getenv("SETUP_MACHINE")) {
    previous_ = old;
    hadPrevious_ = true;
  }
  ::setenv("SETUP_MACHINE", folder().c_str(), 1);
}

SimMachine::~SimMachine() {
  if (hadPrevious_) {
    ::setenv("SETUP_MACHINE", previous_.c_str(), 1);
  } else {
    ::unsetenv("SETUP_MACHINE");
  }
}

std::string SimMachine::folder() const { return platform::WideToUtf8(dir_.path()); }

void SimMachine::Set(const std::string& section, const std::string& key, const std::string& value) {
  if (!ini_.count(section)) sectionOrder_.push_back(section);
  ini_[section][key] = value;
  WriteIni();
}

void SimMachine::SetWindows(int major, int minor, int productType, int architecture, int wow64) {
  Set("Windows", "Major", std::to_string(major));
  Set("Windows", "Minor", std::to_string(minor));
  Set("Windows", "ProductType", std::to_string(productType));
  Set("Windows", "Architecture", std::to_string(architecture));
  Set("Windows", "Wow64", std::to_string(wow64));
}

void SimMachine::WriteIni() {
  std::string text;
  for (const auto& section : sectionOrder_) {
    text += "[" + section + "]\n";
    for (const auto& kv : ini_[section]) text += kv.first + "=" + kv.second + "\n";
  }
  WriteFile("machine.ini", text);
}

void SimMachine::SetRegistryString(const std::wstring& key, const std::wstring& name, const std::wstring& value) {
  platform::posix::RegistryFile registry;
  std::string path = folder() + "registry.reg";
  registry.Load(path);
  registry.SetString(key, name, value);
  registry.Save(path);
}

void SimMachine::DenyRegistryKey(const std::wstring& key) {
  platform::posix::RegistryFile registry;
  std::string path = folder() + "registry.reg";
  registry.Load(path);
  registry.CreateKey(key)->accessDenied = true;
  registry.Save(path);
}

void SimMachine::WriteRegistryText(const std::wstring& text) {
  WriteFile("registry.reg", platform::WideToUtf8(text));
}

void SimMachine::WriteFile(const std::string& name, const std::string& bytes) {
  WriteBytes(dir_.path() + platform::Utf8ToWide(name), bytes);
}

std::string SimMachine::ReadFile(const std::string& name) const {
  return ReadBytes(dir_.path() + platform::Utf8ToWide(name));
}

}  // namespace tavo_test
