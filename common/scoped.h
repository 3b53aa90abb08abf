// Thin owners, one per kind of handle: each releases what it holds when it goes out
// of scope, so an early return cannot leak. None of them can be copied.
#pragma once
#include <windows.h>

#define KELVARA_NO_COPY(Type) \
    Type(const Type&) = delete; \
    Type& operator=(const Type&) = delete

class ScopedKey {
public:
    ScopedKey() = default;
    ~ScopedKey() { Close(); }
    KELVARA_NO_COPY(ScopedKey);
    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    // The answer of the last Open or Create.
    LONG Error() const { return error_; }
    void Close() { if (key_) { RegCloseKey(key_); key_ = nullptr; } }
    // Opens parent\name; false (and no key) on failure.
    bool Open(HKEY parent, const char* name, REGSAM access)
    {
        return Take(RegOpenKeyExA(parent, name, 0, access, Receive()));
    }
    // Creates parent\name, or opens it when it exists; false (and no key) on
    // failure. *created, when given, tells whether the key is new.
    bool Create(HKEY parent, const char* name, REGSAM access = KEY_ALL_ACCESS, bool* created = nullptr)
    {
        DWORD disposition = 0;
        bool ok = Take(RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                       Receive(), &disposition));
        if (created)
            *created = ok && disposition == REG_CREATED_NEW_KEY;
        return ok;
    }
private:
    HKEY* Receive() { Close(); return &key_; }
    // A failed call may leave anything in the handle.
    bool Take(LONG result)
    {
        error_ = result;
        if (result != ERROR_SUCCESS)
            key_ = nullptr;
        return result == ERROR_SUCCESS;
    }
    HKEY key_ = nullptr;
    LONG error_ = ERROR_SUCCESS;
};

class ScopedFile {
public:
    explicit ScopedFile(HANDLE handle) : handle_(handle) {}
    ~ScopedFile() { if (Valid()) CloseHandle(handle_); }
    KELVARA_NO_COPY(ScopedFile);
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE Get() const { return handle_; }
private:
    HANDLE handle_;
};

// One handle, given back by Free()(handle) when the owner goes out of scope.
template <typename T, typename Free>
class ScopedHandle {
public:
    explicit ScopedHandle(T handle = nullptr) : handle_(handle) {}
    ~ScopedHandle() { if (handle_) Free()(handle_); }
    KELVARA_NO_COPY(ScopedHandle);
    T Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    // Gives up ownership (for example to the clipboard).
    T Release() { T handle = handle_; handle_ = nullptr; return handle; }
private:
    T handle_;
};

struct FreeLibraryCall { void operator()(HMODULE module) const { FreeLibrary(module); } };
struct DeleteObjectCall { void operator()(HGDIOBJ object) const { DeleteObject(object); } };
struct DeleteDcCall { void operator()(HDC dc) const { DeleteDC(dc); } };

using ScopedLibrary = ScopedHandle<HMODULE, FreeLibraryCall>;
// Any GDI object released with DeleteObject (bitmap, brush, pen, font).
template <typename T>
using ScopedGdiObject = ScopedHandle<T, DeleteObjectCall>;
// A device context made with CreateDC or CreateCompatibleDC.
using ScopedCreatedDc = ScopedHandle<HDC, DeleteDcCall>;

// A window's device context from GetDC.
class ScopedWindowDc {
public:
    explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~ScopedWindowDc() { if (dc_) ReleaseDC(window_, dc_); }
    KELVARA_NO_COPY(ScopedWindowDc);
    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context; the previous one is put back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelect() { if (previous_) SelectObject(dc_, previous_); }
    KELVARA_NO_COPY(ScopedSelect);
private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Memory obtained with GlobalAlloc(GMEM_MOVEABLE) and locked.
class ScopedGlobalLock {
public:
    explicit ScopedGlobalLock(SIZE_T bytes)
        : memory_(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes)),
          data_(memory_ ? GlobalLock(memory_) : nullptr) {}
    ~ScopedGlobalLock()
    {
        if (memory_) {
            if (data_)
                GlobalUnlock(memory_);
            GlobalFree(memory_);
        }
    }
    KELVARA_NO_COPY(ScopedGlobalLock);
    void* Get() const { return data_; }
private:
    HGLOBAL memory_;
    void* data_;
};
