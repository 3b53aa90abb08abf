// The interlocked increment and decrement behind every reference and object count.
// On x86 they are kernel32's own exports, which every Windows has, Windows 95 on a
// 386 included; the compiler's inline forms would use xadd, which the 386 lacks.
// Windows 95's exports return only the sign of the new value (NT's the value),
// which is all that a test for zero and COM's informational AddRef and Release
// results need. x86-64 keeps the inline forms: there kernel32 exports neither.
#pragma once
#include <windows.h>

#if defined(__i386__)
#undef InterlockedIncrement
#undef InterlockedDecrement
extern "C" {
__declspec(dllimport) LONG WINAPI InterlockedIncrement(LONG volatile* addend);
__declspec(dllimport) LONG WINAPI InterlockedDecrement(LONG volatile* addend);
}
#endif
