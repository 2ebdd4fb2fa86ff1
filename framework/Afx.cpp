#include "framework/Afx.h"

#include <shlwapi.h>

CString AfxGetAppName()
{
    wchar_t path[MAX_PATH] = {};
    if (!GetModuleFileNameW(nullptr, path, MAX_PATH))
        return CString(L"Setup");
    CString name(PathFindFileNameW(path));
    int dot = name.ReverseFind(L'.');
    return dot > 0 ? name.Left(dot) : name;
}

int AfxMessageBox(LPCWSTR text, UINT type, UINT /*helpId*/)
{
    HWND owner = GetActiveWindow();
    if (owner)
        owner = GetAncestor(owner, GA_ROOT);
    return MessageBoxW(owner, text ? text : L"", AfxGetAppName(), type);
}
