// Owners for Win32 handles: each closes its handle when it goes out of scope,
// so every return path releases what it opened.
#pragma once
#include <windows.h>
#include <stdlib.h>

template <typename T, void (*Close)(T), T Invalid = T()>
class UniqueAny {
public:
    UniqueAny() = default;
    explicit UniqueAny(T value) : value_(value) {}
    UniqueAny(UniqueAny&& other) : value_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) {
        reset(other.release());
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    ~UniqueAny() { reset(); }

    T get() const { return value_; }
    bool valid() const { return value_ != Invalid; }
    T* put() {
        reset();
        return &value_;
    }  // for out-parameters
    T release() {
        T v = value_;
        value_ = Invalid;
        return v;
    }
    void reset(T value = Invalid) {
        if (value_ != Invalid) Close(value_);
        value_ = value;
    }

private:
    T value_ = Invalid;
};

namespace handle_close {
inline void RegKey(HKEY k) { RegCloseKey(k); }
inline void Handle(HANDLE h) { CloseHandle(h); }
inline void Menu(HMENU m) { DestroyMenu(m); }
inline void Icon(HICON i) { DestroyIcon(i); }
inline void Module(HMODULE m) { FreeLibrary(m); }
inline void Memory(char* p) { free(p); }
inline void Local(void* p) { LocalFree(p); }
template <typename T>
inline void GdiObject(T object) {
    DeleteObject(object);
}
}  // namespace handle_close

using UniqueRegKey = UniqueAny<HKEY, handle_close::RegKey>;
using UniqueHandle = UniqueAny<HANDLE, handle_close::Handle>;  // mutexes, NULL when absent
using UniqueMenu = UniqueAny<HMENU, handle_close::Menu>;
using UniqueIcon = UniqueAny<HICON, handle_close::Icon>;
using UniqueModule = UniqueAny<HMODULE, handle_close::Module>;
using UniqueBuffer = UniqueAny<char*, handle_close::Memory>;
using UniqueLocal = UniqueAny<void*, handle_close::Local>;  // LocalAlloc'd: security descriptors
using UniqueFont = UniqueAny<HFONT, handle_close::GdiObject<HFONT>>;
using UniqueBrush = UniqueAny<HBRUSH, handle_close::GdiObject<HBRUSH>>;

// Files use INVALID_HANDLE_VALUE, which is not a constant expression, so they
// get their own small owner.
class UniqueFile {
public:
    explicit UniqueFile(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    UniqueFile& operator=(UniqueFile&& other) {
        if (this != &other) {
            reset();
            h_ = other.release();
        }
        return *this;
    }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;
    ~UniqueFile() { reset(); }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return h;
    }
    void reset() {
        if (valid()) CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE h_;
};
