// Small owners for Windows handles, so that every handle is closed on every path.
#pragma once
#include <windows.h>

// Owns a kernel handle (file, process, thread, pipe, event, snapshot).
// Both NULL and INVALID_HANDLE_VALUE mean "nothing owned".
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE h = nullptr) : h_(h) {}
    ~ScopedHandle() { Reset(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE h = nullptr) {
        if (Valid()) CloseHandle(h_);
        h_ = h;
    }
    HANDLE* Receive() { Reset(); return &h_; }
    // Gives up ownership without closing.
    HANDLE Release() {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }

private:
    HANDLE h_;
};

// Owns a FindFirstFileA search.
class ScopedFind {
public:
    explicit ScopedFind(HANDLE h) : h_(h) {}
    ~ScopedFind() { if (Valid()) FindClose(h_); }
    ScopedFind(const ScopedFind&) = delete;
    ScopedFind& operator=(const ScopedFind&) = delete;

    HANDLE Get() const { return h_; }
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// Owns an open registry key.
class ScopedRegKey {
public:
    ScopedRegKey() : key_(nullptr) {}
    ~ScopedRegKey() { Reset(); }
    ScopedRegKey(const ScopedRegKey&) = delete;
    ScopedRegKey& operator=(const ScopedRegKey&) = delete;

    HKEY Get() const { return key_; }
    void Reset() {
        if (key_) RegCloseKey(key_);
        key_ = nullptr;
    }
    // Closes a key already held before handing out the slot for a new one.
    HKEY* Receive() { Reset(); return &key_; }

private:
    HKEY key_;
};
