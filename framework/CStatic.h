// A static control bound to a dialog item.
#pragma once

#include "framework/CWnd.h"

class CStatic : public CWnd {
public:
    HBITMAP SetBitmap(HBITMAP bitmap)
    {
        return reinterpret_cast<HBITMAP>(SendMessage(STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
    }
};
