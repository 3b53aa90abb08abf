// Message and system-error boxes.
#include "messages.h"
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
    lstrcpynA(target, whole, targetSize);
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

int ShowSystemError(HWND, DWORD errorCode)
{
    char caption[32] = "";
    LoadCaption(caption, sizeof caption);

    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, errorCode,
                   GetUserDefaultLangID(), reinterpret_cast<char*>(&text), 0, nullptr);
    int result = MessageBoxA(nullptr, text ? text : "", caption, MB_ICONERROR);
    if (text)
        LocalFree(text);
    return result;
}
