#include "shell/COrvaneApp.h"

#include "config/ConfigurationManager.h"
#include "shell/COrvaneDlg.h"

#include <commctrl.h>

BOOL COrvaneApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    if (!AfxInitRichEdit())
        return FALSE;

    m_gdiplus.Start();

    // The frame (and with it every page and picture) is gone before GDI+ shuts down.
    {
        COrvaneDlg frame;
        frame.SetBackgroundColor(ConfigurationManager::GetInstance()->backgroundColor, TRUE);
        m_pMainWnd = &frame;
        frame.DoModal();
        m_pMainWnd = nullptr;
    }
    return FALSE;
}
