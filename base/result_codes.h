#pragma once
#include <cstdint>

// The result codes that travel from the install thread, the start-up checks
// and the start-up dialog to the completion page (ResultCode). 10, 11, 14 and
// 18 to 20 are never produced.
constexpr int32_t kResultSuccess = 1;
constexpr int32_t kResultDownloadFailed = 2;         // generic package download failure
constexpr int32_t kResultNoServer = 3;               // no download server reachable
constexpr int32_t kResultConfigDownloadFailed = 4;   // DownloadConfig.xml could not be fetched
constexpr int32_t kResultConfigInvalid = 5;          // DownloadConfig.xml missing, malformed or incomplete
constexpr int32_t kResultPackageDownloadFailed = 6;  // a package failed in three attempts
constexpr int32_t kResultInstallerFailed = 7;        // detail: the installer's exit code
constexpr int32_t kResultInstallerLogFailure = 8;    // detail: the class of the installer's log
constexpr int32_t kResultHashMismatch = 9;
constexpr int32_t kResultConflict = 12;
constexpr int32_t kResultSecurityCenterConflict = 13;
constexpr int32_t kResultNotExecuted = 15;           // the installer left no event-log record
constexpr int32_t kResultOtherEdition = 16;
constexpr int32_t kResultLatestInstalled = 17;
constexpr int32_t kResultUnsupportedOs = 21;

// The Windows Installer's code for "another installation is in progress", and
// the class of the product installer's log that says so (the detail of 8).
constexpr int32_t kInstallerBusyCode = 1618;
constexpr int32_t kInstallerBusyLogClass = 7;
