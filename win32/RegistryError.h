// The registry helpers' exception: what failed, and the Windows error code it failed with.
#pragma once

#include <exception>

namespace win32 {

class RegistryError : public std::exception {
public:
    RegistryError(const char* message, int code) noexcept : m_message(message), m_code(code) {}

    const char* what() const noexcept override { return m_message; }
    int Code() const noexcept { return m_code; }

private:
    // Always one of the layer's fixed texts, so a pointer is enough.
    const char* m_message;
    int m_code;
};

} // namespace win32
