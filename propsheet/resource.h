// Resource and control identifiers of PINDREL.DLL; each dialog has its own range.
#pragma once

// Strings
#define IDS_COMPONENT_NAME      20000   // "Pindrel": caption of message boxes
#define IDS_SETTINGS_FILE       20001   // "KELVARA.INI"
#define IDS_HELP_FILE           20002   // "KELVARA.HLP"
#define IDS_DEFAULT_SECTION     20003   // "Default"
#define IDS_FLAGS_KEY           20004   // "PindrelFlags"
#define IDS_FILES_SUFFIX        20010   // " Files"
#define IDS_OUT_OF_MEMORY       21001
#define IDS_INF_ERROR_LINE      31005

// Icons
#define IDI_PINDREL             20001   // header icon of a multiple selection

// Dialogs
#define IDD_SETTINGS_PAGE       25000
#define IDD_TOUCH_PAGE          25001
#define IDD_ICONS_PAGE          25002
#define IDD_BITMAPS_PAGE        25003

// Settings page 25000
#define IDC_ENABLE              20000
#define IDC_SHOW_TOUCH          20001
#define IDC_SHOW_ICONS          20002
#define IDC_ICONS_ONLY_WITH_ICONS 20003
#define IDC_SHOW_BITMAPS        20004

// Shared by the Touch, Icons and Bitmaps pages
#define IDC_FILE_NAME           25011
#define IDC_FILE_ICON           25012
#define IDC_COPY                25013

// Touch page 25001
#define IDC_STAMP_CREATION      25101
#define IDC_STAMP_LAST_WRITTEN  25102
#define IDC_STAMP_BOTH          25103
#define IDC_TIME                25111
#define IDC_DATE                25112
#define IDC_TOUCH               25113
#define IDC_NOW                 25114
#define IDC_RESET               25115

// Icons page 25002
#define IDC_SIZE_SMALL          25201
#define IDC_SIZE_NORMAL         25202
#define IDC_SIZE_LARGE          25203
#define IDC_ICON_LIST           25211
#define IDC_CURSOR_LABEL        25212
#define IDC_CURSOR_LIST         25213

// Bitmaps page 25003
#define IDC_BITMAP_LIST         25301
#define IDC_PREVIEW             25302
#define IDC_SIZE_LABEL          25303
#define IDC_STRETCH             25304
