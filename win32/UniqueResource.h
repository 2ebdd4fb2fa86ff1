// Move-only owners of Windows handles: each kind is declared once with the function
// that releases it, so logic code never closes a handle by hand.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <utility>

namespace win32 {

template <typename T, typename Traits>
class UniqueResource {
public:
    UniqueResource() noexcept : m_value(Traits::Invalid()) {}
    explicit UniqueResource(T value) noexcept : m_value(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : m_value(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    T get() const noexcept { return m_value; }
    bool is_valid() const noexcept { return m_value != Traits::Invalid(); }
    explicit operator bool() const noexcept { return is_valid(); }

    void reset(T value = Traits::Invalid()) noexcept
    {
        if (is_valid())
            Traits::Close(m_value);
        m_value = value;
    }
    T release() noexcept { return std::exchange(m_value, Traits::Invalid()); }

    // For out-parameters: releases the current value and hands out its slot.
    T* put() noexcept
    {
        reset();
        return &m_value;
    }

private:
    T m_value;
};

struct HandleTraits {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FileHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() noexcept { return nullptr; }
    static void Close(HKEY h) noexcept { ::RegCloseKey(h); }
};
struct LocalMemTraits {
    static HLOCAL Invalid() noexcept { return nullptr; }
    static void Close(HLOCAL h) noexcept { ::LocalFree(h); }
};
struct CoTaskMemTraits {
    static PWSTR Invalid() noexcept { return nullptr; }
    static void Close(PWSTR p) noexcept { ::CoTaskMemFree(p); }
};
struct ModuleTraits {
    static HMODULE Invalid() noexcept { return nullptr; }
    static void Close(HMODULE h) noexcept { ::FreeLibrary(h); }
};
struct GdiObjectTraits {
    static HGDIOBJ Invalid() noexcept { return nullptr; }
    static void Close(HGDIOBJ h) noexcept { ::DeleteObject(h); }
};
struct IconTraits {
    static HICON Invalid() noexcept { return nullptr; }
    static void Close(HICON h) noexcept { ::DestroyIcon(h); }
};

using unique_handle = UniqueResource<HANDLE, HandleTraits>;          // events, mutexes, processes, threads
using unique_hfile = UniqueResource<HANDLE, FileHandleTraits>;       // CreateFileW results
using unique_hfind = UniqueResource<HANDLE, FindHandleTraits>;       // FindFirstFileW results
using unique_hkey = UniqueResource<HKEY, RegKeyTraits>;
using unique_hlocal = UniqueResource<HLOCAL, LocalMemTraits>;
using unique_cotaskmem_string = UniqueResource<PWSTR, CoTaskMemTraits>;
using unique_hmodule = UniqueResource<HMODULE, ModuleTraits>;
using unique_gdiobj = UniqueResource<HGDIOBJ, GdiObjectTraits>;
using unique_hicon = UniqueResource<HICON, IconTraits>;
// CreateToolhelp32Snapshot results: INVALID_HANDLE_VALUE on failure, closed with CloseHandle.
using unique_snapshot = UniqueResource<HANDLE, FileHandleTraits>;

} // namespace win32
