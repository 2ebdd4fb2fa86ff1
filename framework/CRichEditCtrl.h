// A rich edit control bound to a dialog item.
#pragma once

#include "framework/CWnd.h"

#include <richedit.h>

class CRichEditCtrl : public CWnd {
public:
    BOOL SetAutoURLDetect(BOOL enable = TRUE) { return SendMessage(EM_AUTOURLDETECT, enable) == 0; }
    void SetReadOnly(BOOL readOnly = TRUE) { SendMessage(EM_SETREADONLY, readOnly); }
};
