#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class XmlConfigReader;

namespace platform {
class HeldFile;
}

// The server's list of packages (DownloadConfig.xml), as file name on the
// servers and in the work folder.
extern const wchar_t kDownloadConfigFileName[];

// What a package's ExecType asks; any other value only downloads it.
constexpr int32_t kExecInstaller = 1;  // run the package as an installer
constexpr int32_t kExecCommand = 2;    // run its ExecCommand

// One package of the download configuration, in the order of the file's keys.
struct PackageEntry {
  std::wstring PackageDownloadURL;
  std::wstring PackageVersion;   // required
  std::wstring PackageName;      // required
  std::wstring SaveFilePath;     // with path macros; empty: work folder + PackageFileName
  std::wstring ExecCommand;      // with path macros; for ExecType 2
  std::wstring PackageHash;      // required; MD5 as hex text, "0" for no check
  std::wstring PackageFileName;  // required; a plain file name
  int32_t ExecType = 1;          // 1 installer package, 2 run ExecCommand, else download only
  int32_t ErrorSkip = 0;
  int32_t ExecSuccessCode = 0;
  int32_t Architecture = 0;      // 0 32-bit Windows, 1 64-bit Windows, 99 any
  uint32_t PackageFileSize = 0;  // in KB, the total of the download progress
  int32_t ProductType = 1;       // 99 and 97: any edition (with Architecture 99)
  int32_t TargetOS = 0;          // 0 any, else the OsCode that must match
  int32_t IsManual = 0;
  int32_t ManualType = 99;
  bool Verified = false;         // downloaded and its hash accepted
  // The downloaded file, held from before its hash check until its installer
  // has ended, so that nobody can put another file in its place meanwhile.
  std::shared_ptr<platform::HeldFile> File;
  int32_t LauncherVersion = 130;
  // SHA-256 as hex text; empty: none given. Launchers before it ignore it; a
  // release build requires it of every package it runs.
  std::wstring PackageSha256;
};

// Reads the download configuration at context.DownloadConfigPath and appends
// its packages to *packages in file order. False when the file is missing or
// malformed, its count or a package cannot be read, a required value is
// empty, or a PackageFileName is not a plain file name; the packages read
// before such a failure stay appended. With applies, only the names of the
// packages it accepts are checked: the others are never fetched.
bool ParseDownloadConfig(const std::wstring& path, std::vector<PackageEntry>* packages,
                         const std::function<bool(const PackageEntry&)>& applies = nullptr);
// The same for a file already loaded.
bool ParseDownloadConfig(const XmlConfigReader& file, std::vector<PackageEntry>* packages,
                         const std::function<bool(const PackageEntry&)>& applies = nullptr);
