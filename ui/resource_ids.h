#pragma once
// Resource and control identifiers shared by the page logic, the Win32
// resource script and the terminal front end. Plain #defines so that the
// resource compiler can read this header too.

// Dialog templates.
#define IDD_ABOUT 100
#define IDD_SETUP 102
#define IDD_COMPLETION 129
#define IDD_NOTICES 130
#define IDD_STATUS 134
#define IDD_FRAME 292
#define IDD_MAIN 365

// Icons, cursors, strings.
#define IDI_APP 128
#define IDC_HAND_LINK 149
#define IDS_ABOUT 101
#define IDB_RESULT_ICON 390

// Backgrounds.
#define IDB_ERROR_SCREEN 139
#define IDB_PAGE_BACKGROUND 140
#define IDB_STARTUP 141
#define IDB_PAGE_INNER 300
#define IDB_MAIN_FRAME 302

// Step indicators: inactive / active.
#define IDB_STEP_NOTICES 293
#define IDB_STEP_NOTICES_ON 294
#define IDB_STEP_INSTALL 295
#define IDB_STEP_INSTALL_ON 296
#define IDB_STEP_DONE 297
#define IDB_STEP_DONE_ON 298
#define IDB_SEPARATOR 299
#define IDB_CONNECTOR 422

// Buttons: normal, pressed, focus, hover, hover+focus, disabled.
#define IDB_MIN_NORMAL 143
#define IDB_MIN_PRESSED 147
#define IDB_MIN_FOCUS 144
#define IDB_MIN_HOVER 392
#define IDB_MIN_HOVER_FOCUS 393
#define IDB_MIN_DISABLED 420
#define IDB_CLOSE_NORMAL 142
#define IDB_CLOSE_PRESSED 146
#define IDB_CLOSE_FOCUS 145
#define IDB_CLOSE_HOVER 394
#define IDB_CLOSE_HOVER_FOCUS 395
#define IDB_CLOSE_DISABLED 421
#define IDB_FINISH_NORMAL 180
#define IDB_FINISH_PRESSED 179
#define IDB_FINISH_FOCUS 178
#define IDB_FINISH_HOVER 401
#define IDB_FINISH_HOVER_FOCUS 400
#define IDB_EXIT_NORMAL 256
#define IDB_EXIT_PRESSED 265
#define IDB_EXIT_FOCUS 258
#define IDB_EXIT_HOVER 402
#define IDB_EXIT_HOVER_FOCUS 403
#define IDB_EXIT13_NORMAL 424
#define IDB_EXIT13_PRESSED 423
#define IDB_EXIT13_FOCUS 425
#define IDB_EXIT13_HOVER 426
#define IDB_EXIT13_HOVER_FOCUS 427
#define IDB_CONTINUE_NORMAL 363
#define IDB_CONTINUE_PRESSED 362
#define IDB_CONTINUE_FOCUS 364
#define IDB_CONTINUE_HOVER 414
#define IDB_CONTINUE_HOVER_FOCUS 415
#define IDB_CONFIRM_NORMAL 357
#define IDB_CONFIRM_PRESSED 358
#define IDB_CONFIRM_FOCUS 359
#define IDB_CONFIRM_HOVER 412
#define IDB_CONFIRM_HOVER_FOCUS 413

// Controls of the start-up dialog.
#define IDC_SETUP_STATUS 1000
#define IDC_SETUP_TITLE 1001
// Controls of the notices page.
#define IDC_NOTICES_TITLE 1002
#define IDC_NOTICES_DESCRIPTION 1003
#define IDC_NOTICES_LIST 1004
#define IDC_NOTICES_CONFIRM 1067
#define IDC_NOTICES_WARNING 1292
#define IDC_NOTICES_INSTRUCTION 1293
#define IDC_NOTICES_PICTURE 1301
// Controls of the status page.
#define IDC_STATUS_TITLE 1039
#define IDC_STATUS_LINE 1040
#define IDC_STATUS_PROGRESS 1043
#define IDC_STATUS_PICTURE 1300
// Controls of the completion page.
#define IDC_COMP_HEADLINE 1044
#define IDC_COMP_BODY 1045
#define IDC_COMP_CLOSE 1046
#define IDC_COMP_MINIMIZE 1047
#define IDC_COMP_FINISH 1056
#define IDC_COMP_CONTINUE 1059
#define IDC_COMP_HELP_LINK 1073
#define IDC_COMP_DOWNLOAD_LINK 1075
#define IDC_COMP_PROCEDURE_LINK 1076
#define IDC_COMP_LINK_FRAME 1298
#define IDC_COMP_PICTURE 1302

// System-menu command of the start-up dialog's About item.
#define IDM_ABOUT 16
