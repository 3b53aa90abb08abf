// Runs one section of a Setup Information file through SetupAPI with the default
// file-queue callback, reporting a missing or faulty INF file in a message box.
#pragma once
#include <windows.h>

// Runs section of the INF file infPath; TRUE when the section was installed.
// Messages: messageSettings.infErrorLineId for a syntax error (path and line),
// the system's text when the file cannot be opened, outOfMemoryId when the queue
// callback cannot be set up.
BOOL RunInfSection(HWND hwnd, const char* section, const char* infPath);

// Runs the install section for the running Windows family of the INF file beside
// this module, named after it, with the messages of RunInfSection. The section
// counts as installed only when every value its AddReg lists write is in place
// afterwards. When it fails on a first install, what it did is taken back without a
// message or window: the uninstall section, the values it wrote, the suite's
// container keys it created.
BOOL InstallInfSection(HWND hwnd);

// Runs the uninstall section of the same INF file; once it has, the suite's
// container keys that are left empty go too. TRUE when the section was installed.
BOOL UninstallInfSection(HWND hwnd);

// The components' variant: the INF file beside this module, named after it.
BOOL InstallSection(HWND hwnd, const char* section);

// The standard section names for the running Windows family.
const char* InstallSectionName();
const char* UninstallSectionName();
