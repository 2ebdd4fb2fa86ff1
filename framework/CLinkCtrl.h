// A system link control (text with anchor markup) bound to a dialog item.
#pragma once

#include "framework/CWnd.h"

#include <commctrl.h>

class CLinkCtrl : public CWnd {
public:
    // The URL of the link item with that index, or empty.
    CString GetItemUrl(int index) const
    {
        LITEM item = {};
        item.mask = LIF_ITEMINDEX | LIF_URL;
        item.iLink = index;
        if (!SendMessage(LM_GETITEM, 0, reinterpret_cast<LPARAM>(&item)))
            return CString();
        return CString(item.szUrl);
    }
};
