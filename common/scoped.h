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
    HKEY* Receive() { Close(); return &key_; }
    HKEY Get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    void Close() { if (key_) { RegCloseKey(key_); key_ = nullptr; } }
    // Opens parent\name; false (and no key) on failure.
    bool Open(HKEY parent, const char* name, REGSAM access)
    {
        Close();
        if (RegOpenKeyExA(parent, name, 0, access, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
            return false;
        }
        return true;
    }
private:
    HKEY key_ = nullptr;
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

class ScopedLibrary {
public:
    explicit ScopedLibrary(HMODULE module) : module_(module) {}
    ~ScopedLibrary() { if (module_) FreeLibrary(module_); }
    KELVARA_NO_COPY(ScopedLibrary);
    HMODULE Get() const { return module_; }
    explicit operator bool() const { return module_ != nullptr; }
private:
    HMODULE module_;
};

// Any GDI object released with DeleteObject (bitmap, brush, pen, font).
template <typename T>
class ScopedGdiObject {
public:
    explicit ScopedGdiObject(T object = nullptr) : object_(object) {}
    ~ScopedGdiObject() { if (object_) DeleteObject(object_); }
    KELVARA_NO_COPY(ScopedGdiObject);
    T Get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    // Gives up ownership (for example to the clipboard).
    T Release() { T object = object_; object_ = nullptr; return object; }
private:
    T object_;
};

// A device context made with CreateDC or CreateCompatibleDC.
class ScopedCreatedDc {
public:
    explicit ScopedCreatedDc(HDC dc) : dc_(dc) {}
    ~ScopedCreatedDc() { if (dc_) DeleteDC(dc_); }
    KELVARA_NO_COPY(ScopedCreatedDc);
    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
private:
    HDC dc_;
};

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
