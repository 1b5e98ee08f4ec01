// Owning wrappers for Win32 handles: one template, one traits class per
// handle kind. Releasing a handle keeps the thread's last error, because
// callers often read GetLastError() after their clean-up has run.
#pragma once

#include <windows.h>

template <typename Traits>
class ScopedGeneric {
public:
    using Handle = typename Traits::Handle;

    ScopedGeneric() = default;
    explicit ScopedGeneric(Handle handle) : m_handle(handle) {}
    ~ScopedGeneric() { Reset(); }

    ScopedGeneric(const ScopedGeneric&) = delete;
    ScopedGeneric& operator=(const ScopedGeneric&) = delete;
    ScopedGeneric(ScopedGeneric&& other) noexcept : m_handle(other.Release()) {}
    ScopedGeneric& operator=(ScopedGeneric&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    bool IsValid() const { return Traits::IsValid(m_handle); }
    explicit operator bool() const { return IsValid(); }
    Handle Get() const { return m_handle; }

    // Address for APIs that return the handle through an out parameter.
    Handle* Receive() {
        Reset();
        return &m_handle;
    }

    void Reset(Handle handle = Traits::Invalid()) {
        if (Traits::IsValid(m_handle)) {
            DWORD error = GetLastError();
            Traits::Close(m_handle);
            SetLastError(error);
        }
        m_handle = handle;
    }

    Handle Release() {
        Handle handle = m_handle;
        m_handle = Traits::Invalid();
        return handle;
    }

private:
    Handle m_handle = Traits::Invalid();
};

// Kernel objects where NULL means "none" (processes, threads, events,
// file mappings).
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};

// Files opened with CreateFile, where INVALID_HANDLE_VALUE means "none".
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { FindClose(h); }
};

struct MappedViewTraits {
    using Handle = const void*;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { UnmapViewOfFile(h); }
};

struct LibraryTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { FreeLibrary(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { RegCloseKey(h); }
};

// Memory that the system allocated with LocalAlloc (security descriptors,
// ACLs returned by the security API).
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { LocalFree(h); }
};

struct SidTraits {
    using Handle = PSID;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { FreeSid(h); }
};

using ScopedHandle = ScopedGeneric<KernelHandleTraits>;
using ScopedFile = ScopedGeneric<FileHandleTraits>;
using ScopedFind = ScopedGeneric<FindHandleTraits>;
using ScopedMappedView = ScopedGeneric<MappedViewTraits>;
using ScopedLibrary = ScopedGeneric<LibraryTraits>;
using ScopedRegKey = ScopedGeneric<RegKeyTraits>;
using ScopedLocalMemory = ScopedGeneric<LocalMemoryTraits>;
using ScopedSid = ScopedGeneric<SidTraits>;
