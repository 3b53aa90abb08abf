// Message boxes of a component: a string-table template formatted with printf-style
// arguments, or the system's text for an error code, captioned with the component's
// name.
#pragma once
#include <windows.h>

// How one module shows its messages; each deliverable defines messageSettings.
struct MessageSettings {
    UINT captionId;            // string id of the caption, 0 for fixedCaption
    const char* fixedCaption;  // used when captionId is 0
    int templateSize;          // characters for the loaded template, terminator included
    char* text;                // the module-wide formatted-text buffer
    int textSize;              // its size; the formatted text is cut to fit
    UINT infErrorLineId;       // "The INF file contains an error line..."
    UINT outOfMemoryId;        // "Not enough memory."
};
extern const MessageSettings messageSettings;

// Defines messageSettings with a module-wide formatted-text buffer of textSize bytes.
#define KELVARA_MESSAGE_SETTINGS(captionId, fixedCaption, templateSize, textSize, infErrorLineId, outOfMemoryId) \
    static char messageText[textSize];                                                                      \
    const MessageSettings messageSettings = {                                                               \
        captionId, fixedCaption, templateSize, messageText, textSize, infErrorLineId, outOfMemoryId}

// Loads template stringId, formats it with the arguments and shows it; returns the
// button pressed.
int ShowMessage(HWND hwnd, UINT stringId, UINT mbType, ...);

// The system's text for errorCode in the user's language (in the system's choice of
// language when it has none in that one), error icon, owned by hwnd (may be null);
// an empty text when the system has none.
int ShowSystemError(HWND hwnd, DWORD errorCode);

// Formats template into target of targetSize bytes, cut to fit (wvsprintfA alone
// writes up to 1024 characters whatever the buffer).
void FormatBounded(char* target, int targetSize, const char* format, va_list args);
