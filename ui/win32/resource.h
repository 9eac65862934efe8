// Identifiers of the launcher's resources (ui/win32/setup.rc).
#pragma once

#define IDI_SETUP 128
