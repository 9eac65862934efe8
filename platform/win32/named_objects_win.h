#pragma once
#include <windows.h>

#include <vector>

namespace platform {

// Reads the owner of a kernel object as a copy of its SID; false when the
// system does not say. An object of the launcher's name that already exists
// is taken only when this owner is the Administrators or SYSTEM.
using ObjectOwnerReader = bool (*)(HANDLE object, std::vector<BYTE>* owner);

// Puts in another reader of owners (nullptr: the system's again). For tests:
// Wine keeps no owners of kernel objects.
void SetObjectOwnerReader(ObjectOwnerReader reader);

}  // namespace platform
