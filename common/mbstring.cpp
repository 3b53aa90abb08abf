// Multibyte-aware path helpers.
#include "mbstring.h"

const char* FindLastChar(const char* text, char c)
{
    const char* found = nullptr;
    for (const char* p = text; *p; ++p) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p))) {
            if (!p[1])
                break;
            ++p;
            continue;
        }
        if (*p == c)
            found = p;
    }
    return found;
}

char* FindLastChar(char* text, char c)
{
    return const_cast<char*>(FindLastChar(const_cast<const char*>(text), c));
}

bool AppendBounded(char* target, int size, const char* source)
{
    int used = lstrlenA(target);
    while (*source) {
        int length = IsDBCSLeadByte(static_cast<BYTE>(*source)) && source[1] ? 2 : 1;
        if (used + length > size - 1) {
            target[used] = '\0';
            return false;
        }
        for (int i = 0; i < length; ++i)
            target[used++] = *source++;
    }
    target[used] = '\0';
    return true;
}

void ReplaceExtension(char* path, int size, const char* extension)
{
    char* dot = FindLastChar(path, '.');
    if (dot) {
        dot[1] = '\0';
    } else {
        AppendBounded(path, size, ".");
    }
    AppendBounded(path, size, extension);
}

char* FileNamePart(char* path)
{
    char* slash = FindLastChar(path, '\\');
    return slash ? slash + 1 : path;
}

void AddTrailingBackslash(char* text, int size)
{
    int length = lstrlenA(text);
    if (length == 0)
        return;
    const char* last = FindLastChar(text, '\\');
    if (last != text + length - 1)
        AppendBounded(text, size, "\\");
}
