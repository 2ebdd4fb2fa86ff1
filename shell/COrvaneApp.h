// The application object: prepares the process, runs the wizard frame modally and
// ends when the frame ends.
#pragma once

#include "framework/CWinApp.h"
#include "win32/GdiplusSession.h"

class COrvaneApp : public CWinApp {
public:
    COrvaneApp() = default;

    BOOL InitInstance() override;

private:
    // The GDI+ start-up input and token; GDI+ shuts down when the application object goes.
    win32::GdiplusSession m_gdiplus;
};
