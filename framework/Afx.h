// Application-wide helpers of the dialog framework.
#pragma once

#include "framework/CString.h"

// A message box owned by the active window of this thread, captioned with the program's name.
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT helpId = 0);

// The program's name: the executable's file name without its extension.
CString AfxGetAppName();
