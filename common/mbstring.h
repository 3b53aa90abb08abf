// Multibyte-aware searches in paths of the ANSI code page: a trail byte of a
// double-byte character is never taken for the separator searched for.
#pragma once
#include <windows.h>

// The last occurrence of the single-byte character c in text, or null.
char* FindLastChar(char* text, char c);
const char* FindLastChar(const char* text, char c);

// Replaces everything after the last '.' of path with extension ("INF"), or appends
// '.' and extension when path has no '.'. The result is cut to fit size bytes.
void ReplaceExtension(char* path, int size, const char* extension);

// The part of path after its last backslash (path itself when it has none).
char* FileNamePart(char* path);

// Appends a backslash unless text is empty or already ends in one; cut to size.
void AddTrailingBackslash(char* text, int size);

// Appends source to target, cut to the size bytes of target on a whole character (a
// double-byte character that does not fit is left out); false when it was cut.
bool AppendBounded(char* target, int size, const char* source);
