// The installer type's last page: optionally launch the installed product, then Finish.
#pragma once

#include "framework/CButton.h"
#include "shell/CStaticFromImage.h"
#include "shell/IPage.h"

class FinishPageIsv : public IPage {
public:
    FinishPageIsv(std::shared_ptr<LanguageManager> languageManager, CWnd* parent);

    void OnNavigateToPage() override;
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"FinishPageISV"; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    // Carries out the chosen action, then ends the wizard.
    void OnFinish();

    ButtonCallback m_onButton;
    ErrorCallback m_onError;
    CButton m_launchCheck;
    CStaticFromImage m_image;
};
