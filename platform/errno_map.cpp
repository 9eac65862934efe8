#include <cerrno>

#include "platform/error.h"

namespace platform {

uint32_t ErrnoToWindows(int err) {
  switch (err) {
    case 0: return kErrorSuccess;
    case ENOENT: return kErrorFileNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kErrorAccessDenied;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EBUSY:
    case ETXTBSY: return kErrorSharingViolation;
    case EEXIST: return kErrorAlreadyExists;
    case EINVAL: return kErrorInvalidParameter;
    case ENOSPC: return kErrorDiskFull;
    case ENAMETOOLONG: return 206;  // ERROR_FILENAME_EXCED_RANGE
    case ETIMEDOUT: return kErrorTimeout;
    case EXDEV: return 17;  // ERROR_NOT_SAME_DEVICE
    case EIO: return kErrorGenFailure;
    default: return kErrorGenFailure;
  }
}

}  // namespace platform
