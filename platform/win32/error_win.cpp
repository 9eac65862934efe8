#include "platform/error.h"

#include <windows.h>

namespace platform {

// The portable codes are the system's own: "(ERRORCODE n)" and every comparison
// with a platform error must mean the same on both builds.
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND && kErrorPathNotFound == ERROR_PATH_NOT_FOUND &&
                  kErrorAccessDenied == ERROR_ACCESS_DENIED && kErrorInvalidHandle == ERROR_INVALID_HANDLE &&
                  kErrorNotEnoughMemory == ERROR_NOT_ENOUGH_MEMORY && kErrorInvalidData == ERROR_INVALID_DATA &&
                  kErrorWriteFault == ERROR_WRITE_FAULT && kErrorReadFault == ERROR_READ_FAULT &&
                  kErrorSharingViolation == ERROR_SHARING_VIOLATION && kErrorHandleEof == ERROR_HANDLE_EOF &&
                  kErrorNotSupported == ERROR_NOT_SUPPORTED && kErrorFileExists == ERROR_FILE_EXISTS &&
                  kErrorInvalidParameter == ERROR_INVALID_PARAMETER && kErrorDiskFull == ERROR_DISK_FULL &&
                  kErrorInsufficientBuffer == ERROR_INSUFFICIENT_BUFFER &&
                  kErrorAlreadyExists == ERROR_ALREADY_EXISTS && kErrorMoreData == ERROR_MORE_DATA &&
                  kErrorNoMoreItems == ERROR_NO_MORE_ITEMS && kErrorTimeout == ERROR_TIMEOUT &&
                  kErrorBadFormat == ERROR_BAD_FORMAT && kErrorGenFailure == ERROR_GEN_FAILURE,
              "the platform error codes are the Windows codes");

uint32_t LastError() { return ::GetLastError(); }

void SetLastError(uint32_t code) { ::SetLastError(code); }

}  // namespace platform
