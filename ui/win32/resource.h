// Identifiers of the launcher's resources (ui/win32/setup.rc) that only the
// Win32 windows use; the shared ones are in ui/resource_ids.h.
#pragma once

#define IDI_SETUP 128

// Controls of the frame page.
#define IDC_FRAME_MINIMIZE 1010
#define IDC_FRAME_CLOSE 1011
#define IDC_FRAME_STEP_NOTICES 1012
#define IDC_FRAME_CONNECTOR1 1013
#define IDC_FRAME_STEP_INSTALL 1014
#define IDC_FRAME_CONNECTOR2 1015
#define IDC_FRAME_STEP_DONE 1016
#define IDC_FRAME_SEPARATOR 1017

// Controls of the About box.
#define IDC_ABOUT_ICON 1020
#define IDC_ABOUT_NAME 1021
#define IDC_ABOUT_COPYRIGHT 1022
