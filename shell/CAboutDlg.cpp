#include "shell/CAboutDlg.h"

#include "config/ConfigurationManager.h"
#include "res/resource.h"

CAboutDlg::CAboutDlg(CWnd* parent) : CDialogEx(IDD_ABOUTBOX, parent) {}

BOOL CAboutDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    CString version;
    version.Format(L"Orvane, Version %s", ConfigurationManager::GetInstance()->programVersion.GetString());
    SetDlgItemText(IDC_ABOUT_VERSION, version);
    return TRUE;
}
