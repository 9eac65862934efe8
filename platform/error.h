#pragma once
#include <cstdint>

// The last system error of the calling thread, in Windows error codes on both
// builds, so that "(ERRORCODE n)" in the debug log means the same everywhere.
namespace platform {

constexpr uint32_t kErrorSuccess = 0;
constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorWriteFault = 29;
constexpr uint32_t kErrorReadFault = 30;
constexpr uint32_t kErrorSharingViolation = 32;
constexpr uint32_t kErrorLockViolation = 33;
constexpr uint32_t kErrorHandleEof = 38;
constexpr uint32_t kErrorNotSupported = 50;
constexpr uint32_t kErrorFileExists = 80;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorInsufficientBuffer = 122;
constexpr uint32_t kErrorAlreadyExists = 183;
constexpr uint32_t kErrorFileTooLarge = 223;
constexpr uint32_t kErrorFileInvalid = 1006;
constexpr uint32_t kErrorMoreData = 234;
constexpr uint32_t kErrorNoMoreItems = 259;
constexpr uint32_t kErrorTimeout = 1460;
constexpr uint32_t kErrorBadFormat = 11;
constexpr uint32_t kErrorGenFailure = 31;

uint32_t LastError();
void SetLastError(uint32_t code);

// Maps an errno value to the nearest Windows code (POSIX backend only; the
// Windows backend never calls it).
uint32_t ErrnoToWindows(int err);

}  // namespace platform
