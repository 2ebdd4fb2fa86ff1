// GDI+ started for the life of the owner: GdiplusStartup when started, GdiplusShutdown
// with the same token when the owner goes. Every GDI+ object must be gone by then.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

namespace win32 {

class GdiplusSession {
public:
    GdiplusSession() = default;
    ~GdiplusSession() { Stop(); }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;

    // Starts GDI+ with the default start-up input; true when it runs.
    bool Start()
    {
        if (!m_token && Gdiplus::GdiplusStartup(&m_token, &m_input, nullptr) != Gdiplus::Ok)
            m_token = 0;
        return m_token != 0;
    }
    void Stop()
    {
        if (m_token)
            Gdiplus::GdiplusShutdown(m_token);
        m_token = 0;
    }

private:
    Gdiplus::GdiplusStartupInput m_input;
    ULONG_PTR m_token = 0;
};

} // namespace win32
