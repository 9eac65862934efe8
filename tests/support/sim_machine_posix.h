#pragma once
#include <map>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace tavo_test {

// A simulated Windows machine in a fresh folder, selected through
// SETUP_MACHINE for as long as the object lives.
class SimMachine {
 public:
  SimMachine();
  ~SimMachine();

  std::string folder() const;
  std::wstring wfolder() const { return dir_.path(); }

  // machine.ini values; written on every change.
  void Set(const std::string& section, const std::string& key, const std::string& value);
  // Shorthand for the [Windows] section.
  void SetWindows(int major, int minor, int productType, int architecture, int wow64);

  // registry.reg: 64-bit view paths below HKEY_LOCAL_MACHINE.
  void SetRegistryString(const std::wstring& key, const std::wstring& name, const std::wstring& value);
  void DenyRegistryKey(const std::wstring& key);
  // Replaces registry.reg with the given text.
  void WriteRegistryText(const std::wstring& text);

  // Any other file of the machine folder.
  void WriteFile(const std::string& name, const std::string& bytes);
  std::string ReadFile(const std::string& name) const;

 private:
  void WriteIni();
  TempDir dir_;
  std::map<std::string, std::map<std::string, std::string>> ini_;
  std::vector<std::string> sectionOrder_;
  std::string previous_;
  bool hadPrevious_ = false;
};

}  // namespace tavo_test
