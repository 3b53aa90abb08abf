// The few pieces of the C and C++ runtime that the compiler expects, so that the
// shipped files need nothing but the system's own libraries.
#include <windows.h>
#include <new>

void* operator new(size_t size, const std::nothrow_t&) noexcept
{
    return HeapAlloc(GetProcessHeap(), 0, size);
}

void* operator new[](size_t size, const std::nothrow_t&) noexcept
{
    return HeapAlloc(GetProcessHeap(), 0, size);
}

void operator delete(void* block) noexcept
{
    if (block)
        HeapFree(GetProcessHeap(), 0, block);
}

void operator delete(void* block, size_t) noexcept
{
    operator delete(block);
}

void operator delete[](void* block) noexcept
{
    operator delete(block);
}

void operator delete[](void* block, size_t) noexcept
{
    operator delete(block);
}

extern "C" {

// Built with -fno-tree-loop-distribute-patterns, so these loops are not turned back
// into calls of themselves.
void* memset(void* target, int value, size_t count)
{
    unsigned char* p = static_cast<unsigned char*>(target);
    while (count--)
        *p++ = static_cast<unsigned char>(value);
    return target;
}

void* memcpy(void* target, const void* source, size_t count)
{
    unsigned char* d = static_cast<unsigned char*>(target);
    const unsigned char* s = static_cast<const unsigned char*>(source);
    while (count--)
        *d++ = *s++;
    return target;
}

void* memmove(void* target, const void* source, size_t count)
{
    unsigned char* d = static_cast<unsigned char*>(target);
    const unsigned char* s = static_cast<const unsigned char*>(source);
    if (d < s) {
        while (count--)
            *d++ = *s++;
    } else {
        while (count--)
            d[count] = s[count];
    }
    return target;
}

int memcmp(const void* a, const void* b, size_t count)
{
    const unsigned char* x = static_cast<const unsigned char*>(a);
    const unsigned char* y = static_cast<const unsigned char*>(b);
    for (; count; --count, ++x, ++y) {
        if (*x != *y)
            return *x < *y ? -1 : 1;
    }
    return 0;
}

// Referenced by the vtables of abstract interface classes; never called.
void __cxa_pure_virtual()
{
    ExitProcess(3);
}

}

// The tag object of the non-throwing new, normally in libstdc++.
namespace std {
const nothrow_t nothrow{};
}
