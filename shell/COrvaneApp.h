// The application object: prepares the process, runs the wizard frame modally and
// ends when the frame ends.
#pragma once

#include "framework/CWinApp.h"

#include <objidl.h>
#include <gdiplus.h>

class COrvaneApp : public CWinApp {
public:
    COrvaneApp() = default;
    ~COrvaneApp() override;

    BOOL InitInstance() override;

private:
    Gdiplus::GdiplusStartupInput m_gdiplusStartupInput;
    ULONG_PTR m_gdiplusToken = 0;
};
