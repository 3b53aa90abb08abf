// Message and system-error boxes.
#include "messages.h"
#include "mbstring.h"
#include "module.h"

namespace {

// wvsprintfA never writes more than 1024 characters with the terminator.
const int kFormatLimit = 1024;

void LoadCaption(char* caption, int size)
{
    if (messageSettings.captionId)
        LoadStringA(moduleInstance, messageSettings.captionId, caption, size);
    else
        lstrcpynA(caption, messageSettings.fixedCaption, size);
}

}  // namespace

void FormatBounded(char* target, int targetSize, const char* format, va_list args)
{
    char whole[kFormatLimit + 1];
    whole[0] = '\0';
    wvsprintfA(whole, format, args);
    // The arguments are names of any length: the cut falls between characters.
    CopyBounded(target, targetSize, whole);
}

int ShowMessage(HWND hwnd, UINT stringId, UINT mbType, ...)
{
    char caption[32] = "";
    LoadCaption(caption, sizeof caption);

    // Large enough for every module's template; the module's own size is applied.
    char format[256] = "";
    int templateSize = messageSettings.templateSize < 256 ? messageSettings.templateSize : 256;
    LoadStringA(moduleInstance, stringId, format, templateSize);

    va_list args;
    va_start(args, mbType);
    FormatBounded(messageSettings.text, messageSettings.textSize, format, args);
    va_end(args);
    return MessageBoxA(hwnd, messageSettings.text, caption, mbType);
}

int ShowSystemError(HWND hwnd, DWORD errorCode)
{
    char caption[32] = "";
    LoadCaption(caption, sizeof caption);

    char* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM;
    // A user language the system has no messages in (a regional format of its own,
    // Hindi on an English Windows) falls back on the system's own choice of language.
    if (!FormatMessageA(flags, nullptr, errorCode, GetUserDefaultLangID(), reinterpret_cast<char*>(&text), 0,
                        nullptr))
        FormatMessageA(flags, nullptr, errorCode, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    int result = MessageBoxA(hwnd, text ? text : "", caption, MB_ICONERROR);
    if (text)
        LocalFree(text);
    return result;
}
