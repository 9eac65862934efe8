#pragma once

namespace platform {

// Initialises the component library for the calling thread (multithreaded
// apartment). Harmless when already initialised; never uninitialised, as the
// readers of the settings files expect.
void InitializeThreadComponents();

}  // namespace platform
