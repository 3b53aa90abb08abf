// Multibyte-aware searches and cuts in text of the ANSI code page: a trail byte of a
// double-byte character is never taken for the separator searched for, and no text
// is cut inside a character, whether the code page is double-byte (932) or UTF-8
// (65001, where IsDBCSLeadByte knows no lead bytes).
#pragma once
#include <windows.h>

// The number of bytes of the character that starts at text (0 at the terminator). A
// lead byte whose sequence is broken off (by the terminator or a byte that cannot
// follow it) counts as a character of one byte, so nothing after it is swallowed.
int CharacterLength(const char* text);

// The last occurrence of the single-byte character c in text, or null.
char* FindLastChar(char* text, char c);
const char* FindLastChar(const char* text, char c);

// Replaces everything after the last '.' of path with extension ("INF"), or appends
// '.' and extension when path has no '.'. The result is cut to fit size bytes;
// false when it was cut.
bool ReplaceExtension(char* path, int size, const char* extension);

// The part of path after its last backslash (path itself when it has none).
char* FileNamePart(char* path);

// Appends a backslash unless text is empty or already ends in one; false when it
// does not fit.
bool AddTrailingBackslash(char* text, int size);

// Appends source to target, cut to the size bytes of target on a whole character (a
// double-byte character that does not fit is left out); false when it was cut.
bool AppendBounded(char* target, int size, const char* source);

// Copies source into the size bytes of target, cut on a whole character like
// AppendBounded; false when it was cut.
bool CopyBounded(char* target, int size, const char* source);
