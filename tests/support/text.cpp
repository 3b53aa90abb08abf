// Language-dependent expectations.
#include "text.h"
#include <windows.h>

std::string Ansi(const char* utf8)
{
    WCHAR wide[1024];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 1024);
    if (n <= 0)
        return std::string();
    char ansi[2048];
    int m = WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr);
    return m > 0 ? std::string(ansi) : std::string();
}

bool JapaneseRun()
{
    return GetACP() == 932;
}

std::string Localized(const char* english, const char* japaneseUtf8)
{
    return JapaneseRun() ? Ansi(japaneseUtf8) : std::string(english);
}
