// Resource and control identifiers of SETUP.EXE.
#pragma once

// Strings: the names of the Setup.ini sections and keys
#define IDS_COMPONENTS_SECTION  12001   // "Components"
#define IDS_CONTROL_PANEL_SECTION 12002 // "ControlPanel"
#define IDS_APPLET_KEY          12003   // "Kelvara"
#define IDS_APPLICATION_SECTION 12004   // "Application"
#define IDS_NAME_KEY            12005   // "Name"

// Strings: messages
#define IDS_BAD_SETUP_INFO      13001
#define IDS_OUT_OF_MEMORY       13002
#define IDS_UNEXPECTED_ERROR    13003
#define IDS_INSTALL_FAILED      13004   // "Failed to install %s."
#define IDS_NEEDS_X64           13005   // the x86 files on 64-bit Windows

// Icons: the program's icon and the dialog's big window icon
#define IDI_SETUP               12000

// Dialog 12000
#define IDD_SETUP               12000
#define IDC_CONTINUE            1
#define IDC_CANCEL              2
#define IDC_HELP_BUTTON         32651
#define IDC_COMPONENT_LIST      15101
