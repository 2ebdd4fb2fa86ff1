// A combo box bound to a dialog item.
#pragma once

#include "framework/CWnd.h"

class CComboBox : public CWnd {
public:
    int AddString(LPCWSTR text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
    CString GetLBText(int index) const
    {
        int length = static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index)));
        if (length <= 0)
            return CString();
        CString text;
        SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.GetBufferSetLength(length + 1)));
        text.ReleaseBuffer();
        return text;
    }
    void GetLBText(int index, CString& text) const { text = GetLBText(index); }
};
