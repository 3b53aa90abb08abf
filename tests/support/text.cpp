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

std::vector<std::string> ScriptNames()
{
    std::vector<std::string> names;
    for (const char* utf8 : {u8"Справка", u8"Φως", u8"表示ソフト", u8"café", u8"𝄞clef"}) {
        WCHAR wide[64], back[64];
        MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 64);
        std::string ansi = Ansi(utf8);
        // A name the code page cannot spell comes back with '?' or another letter.
        if (MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, back, 64) && lstrcmpW(wide, back) == 0)
            names.push_back(ansi);
    }
    return names;
}

std::string AllScriptNames()
{
    std::string all;
    for (const std::string& name : ScriptNames())
        all += " " + name;
    return all;
}

std::string SystemErrorText(unsigned long code)
{
    char* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM;
    if (!FormatMessageA(flags, nullptr, code, GetUserDefaultLangID(), reinterpret_cast<char*>(&text), 0, nullptr))
        FormatMessageA(flags, nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = text ? text : "";
    LocalFree(text);
    return result;
}

std::string Localized(const char* english, const char* japaneseUtf8)
{
    return JapaneseRun() ? Ansi(japaneseUtf8) : std::string(english);
}

std::wstring Wide(const char* utf8)
{
    wchar_t text[1024] = L"";
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text, 1024);
    return text;
}

std::wstring WideFromAnsi(const std::string& text)
{
    wchar_t wide[1024] = L"";
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, 1024);
    return wide;
}

std::string Utf8(const std::wstring& text)
{
    char bytes[4096] = "";
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes, sizeof bytes, nullptr, nullptr);
    return bytes;
}
