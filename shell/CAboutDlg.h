// The About box reached from the frame's system menu.
#pragma once

#include "framework/CDialogEx.h"

class CAboutDlg : public CDialogEx {
public:
    explicit CAboutDlg(CWnd* parent = nullptr);

protected:
    BOOL OnInitDialog() override;
};
