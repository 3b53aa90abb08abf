// The test that tells a Word document (a compound file) from a text file.
#pragma once
#include <windows.h>

// D0 CF 11 E0 A1 B1 1A E1: the first 8 bytes of every compound (structured
// storage) file.
extern const BYTE CompoundFileSignature[8];

// True only when the file opens for reading (read and write sharing) and its first
// 8 bytes are CompoundFileSignature; an unreadable or shorter file is false.
bool IsCompoundFile(const char* path);
