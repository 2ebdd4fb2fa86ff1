// The application object: the program's start-up runs in InitInstance, and the process
// ends when it returns (a dialog program returns FALSE after its dialog has ended).
#pragma once

#include "framework/CWnd.h"

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();

    virtual BOOL InitInstance();
    // Runs the program; returns the process exit code.
    int Run();

    CWnd* m_pMainWnd = nullptr;
};

// The application object of this process, or null.
CWinApp* AfxGetApp();
// Loads the rich edit control library; false when it is missing.
BOOL AfxInitRichEdit();
