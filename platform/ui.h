#pragma once

namespace platform {
// Registers the common control classes (the Windows 95 set) the windows use.
void InitializeCommonControls();
}  // namespace platform
