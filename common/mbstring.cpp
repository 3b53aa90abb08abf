// Multibyte-aware path helpers.
#include "mbstring.h"

namespace {

// The length a UTF-8 lead byte announces (1 for a single byte, and for a byte
// that cannot start a sequence: a trail byte or one of the bytes UTF-8 never uses).
int Utf8SequenceLength(BYTE lead)
{
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 1;
}

}  // namespace

int CharacterLength(const char* text)
{
    if (!*text)
        return 0;
    BYTE lead = static_cast<BYTE>(*text);
    if (GetACP() != CP_UTF8)
        return IsDBCSLeadByte(lead) && text[1] ? 2 : 1;
    int length = Utf8SequenceLength(lead);
    for (int i = 1; i < length; ++i) {
        if ((static_cast<BYTE>(text[i]) & 0xC0) != 0x80)
            return 1;
    }
    return length;
}

const char* FindLastChar(const char* text, char c)
{
    const char* found = nullptr;
    for (const char* p = text; *p; p += CharacterLength(p)) {
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
        int length = CharacterLength(source);
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

bool CopyBounded(char* target, int size, const char* source)
{
    if (size <= 0)
        return !*source;
    target[0] = '\0';
    return AppendBounded(target, size, source);
}

bool ReplaceExtension(char* path, int size, const char* extension)
{
    char* dot = FindLastChar(path, '.');
    if (dot)
        dot[1] = '\0';
    else if (!AppendBounded(path, size, "."))
        return false;
    return AppendBounded(path, size, extension);
}

char* FileNamePart(char* path)
{
    char* slash = FindLastChar(path, '\\');
    return slash ? slash + 1 : path;
}

bool AddTrailingBackslash(char* text, int size)
{
    const char* last = FindLastChar(text, '\\');
    return !text[0] || (last && !last[1]) || AppendBounded(text, size, "\\");
}
