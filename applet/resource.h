// Resource and control identifiers of KELVARA.CPL; each dialog has its own range.
#pragma once

// Strings
#define IDS_APPLET_NAME         10000   // "Kelvara": item name, sheet caption, message caption
#define IDS_APPLET_INFO         10001   // the Control Panel item's description
#define IDS_HELP_FILE           10002   // "KELVARA.HLP"
#define IDS_INF_FILE            10003   // "KELVARA.INF"
#define IDS_SETTINGS_FILE       10004   // "KELVARA.INI"
#define IDS_FALLBACK_DIRECTORY  10005   // "ShellExt\" below the system directory
#define IDS_COMPONENT_KEY       10010   // "Software\Farrowmere\ShellExt" under HKLM
#define IDS_OUT_OF_MEMORY       11001
#define IDS_INF_ERROR_LINE      11002
#define IDS_NO_SELECTION        11003
#define IDS_NO_REGISTRY         11004
#define IDS_NOT_ALL_REMOVED     11005
#define IDS_NO_ENTRY            11006
#define IDS_NO_LIBRARY          11007
#define IDS_RIGHTS_DECLINED     11008   // the user declined the request for administrator rights

// Icons
#define IDI_APPLET              10000   // the Control Panel item and the About page
#define IDI_UNINSTALL           12000   // the uninstall dialog's window icon

// About page 10000; its help topic has the dialog's number
#define IDD_ABOUT_PAGE          10000
#define IDC_GO_ONLINE           15101

// Uninstall dialog 15002; its help topic has the dialog's number
#define IDD_UNINSTALL           15002
#define IDC_COMPONENT_LIST      15101
#define IDC_UNINSTALL_HELP      32651
