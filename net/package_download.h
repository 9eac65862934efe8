#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "config/download_config.h"
#include "net/download_notify.h"
#include "net/wait_clock.h"

struct LaunchSettings;
struct WorkingPaths;
namespace platform {
class HeldFile;
}

// Downloads DownloadConfig.xml from the first download server that delivers
// it into localPath, held through hold from its arrival. False when no
// server did.
bool FetchDownloadConfig(const LaunchSettings& settings, const std::wstring& localPath, platform::HeldFile* hold);

// True when the package is meant for this machine and this edition: its
// architecture and edition, operating system, manual flag and launcher
// generation all match.
bool IsPackageApplicable(const PackageEntry& package, const LaunchSettings& settings);

// True when one of the download servers answered the probe, in up to three
// rounds over the servers.
bool CheckServers(const LaunchSettings& settings);

// Downloads every applicable package to its local path (in the work folder
// unless SaveFilePath names another) and checks its MD5 digest, marking the
// accepted ones Verified; the retry marker is looked for in the user's
// temporary folder. *errorCode is
// kResultDownloadFailed while running, kResultPackageDownloadFailed when a
// package could not be downloaded in three attempts (the others are still
// downloaded but no longer verified), kResultHashMismatch on a hash mismatch
// (which stops at once). Progress goes to notifyWindow (may be null); the
// waits between attempts go through clock.
bool DownloadPackages(const LaunchSettings& settings, const WorkingPaths& paths, std::vector<PackageEntry>* packages,
                      DownloadNotifyTarget* notifyWindow, int32_t* errorCode,
                      WaitClock& clock = SystemWaitClock());

// True when the file's MD5 digest equals packageHash (case and line breaks
// ignored), or when packageHash is "0".
bool VerifyPackageHash(const std::wstring& localPath, const std::wstring& packageHash);
// The same through a file the caller holds open (read from its start).
bool VerifyPackageHash(platform::HeldFile& file, const std::wstring& packageHash);

// As VerifyPackageHash, without a word in the log: whether a package that was
// completed from pieces is whole.
bool PackageHashMatches(const std::wstring& path, const std::wstring& packageHash);

// An MD5 digest (platform::kMd5DigestSize bytes) as 32 lower-case hexadecimal digits.
std::wstring Md5Text(const uint8_t* digest);
// True when a computed digest is the package's (case and line breaks of the
// configured text ignored), or when the package asks for no check ("0").
bool DigestMatchesPackage(const std::wstring& digest, const std::wstring& packageHash);

// The file's MD5 digest as 32 lower-case hexadecimal digits; false when the
// file cannot be read or the cryptographic service fails.
bool ComputeFileMd5(const std::wstring& path, std::wstring* digest);
bool ComputeFileMd5(platform::HeldFile& file, std::wstring* digest);
