#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Moves a file to newPath, replacing a file there; across volumes the file is
// copied and the source deleted; returns only when the move is on the disk
// (MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED |
// MOVEFILE_WRITE_THROUGH; on the simulated machine rename, or copy, fsync and
// unlink across file systems). False with the last error set.
bool MoveFileReplacing(const std::wstring& existingPath, const std::wstring& newPath);

// Access mask of the generic execute right on files: read attributes,
// execute, read control, synchronize.
constexpr uint32_t kFileGenericExecute = 0x1200A0;

// Adds an access-allowed entry for the trustee (an account or group name such
// as "Users") with the mask to the file's discretionary access list, inherited
// by sub-containers and objects; the existing entries stay. On the simulated
// machine "Users" (and "Everyone") are the file's "others" permission bits.
// False with the last error set.
bool GrantFileAccess(const std::wstring& trusteeName, const std::wstring& path, uint32_t accessMask);

}  // namespace platform
