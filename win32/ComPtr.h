// A move-only owner of one COM interface pointer: releases it once.
#pragma once

#include <objbase.h>

#include <utility>

namespace win32 {

template <typename Interface>
class com_ptr {
public:
    com_ptr() noexcept = default;
    explicit com_ptr(Interface* pointer) noexcept : m_pointer(pointer) {}
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    com_ptr(com_ptr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    com_ptr& operator=(com_ptr&& other) noexcept
    {
        if (this != &other)
            reset(std::exchange(other.m_pointer, nullptr));
        return *this;
    }
    ~com_ptr() { reset(); }

    Interface* get() const noexcept { return m_pointer; }
    Interface* operator->() const noexcept { return m_pointer; }
    explicit operator bool() const noexcept { return m_pointer != nullptr; }
    void reset(Interface* pointer = nullptr) noexcept
    {
        if (m_pointer)
            m_pointer->Release();
        m_pointer = pointer;
    }

private:
    Interface* m_pointer = nullptr;
};

} // namespace win32
