#include "framework/CWinApp.h"

namespace {

CWinApp* g_application = nullptr;

} // namespace

CWinApp::CWinApp()
{
    g_application = this;
}

CWinApp::~CWinApp()
{
    if (g_application == this)
        g_application = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::Run()
{
    if (!InitInstance())
        return 0;
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

CWinApp* AfxGetApp()
{
    return g_application;
}

BOOL AfxInitRichEdit()
{
    // Loaded once for the life of the process; its window classes stay registered.
    static HMODULE library = ::LoadLibraryW(L"RICHED32.DLL");
    return library ? TRUE : FALSE;
}
