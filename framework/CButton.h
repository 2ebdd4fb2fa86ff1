// A push button, check box or radio button bound to a dialog item.
#pragma once

#include "framework/CWnd.h"

class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int state) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(state)); }
    void Click() { SendMessage(BM_CLICK); }
};
