// One offer: its picture, the disclaimer with its links, Accept and Decline.
#pragma once

#include "framework/CLinkCtrl.h"
#include "shell/CStaticFromImage.h"
#include "shell/IPage.h"

class Package;

class ProductPage : public IPage {
public:
    ProductPage(std::shared_ptr<LanguageManager> languageManager, std::shared_ptr<Package> package, CWnd* parent);

    void OnNavigateToPage() override;
    void SetButtonCallback(ButtonCallback callback) override { m_onButton = std::move(callback); }
    void SetErrorCallback(ErrorCallback callback) override { m_onError = std::move(callback); }
    CString GetName() override { return L"ProductPage"; }
    void UpdateTexts() override;

    const std::shared_ptr<Package>& GetPackage() const noexcept { return m_package; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(const NMHDR* header, LRESULT* result) override;
    void ExpandDisclaimer();
    HBRUSH OnCtlColor(HDC dc, CWnd* control, UINT kind) override;

    ButtonCallback m_onButton;
    ErrorCallback m_onError;
    CLinkCtrl m_disclaimer;
    std::shared_ptr<Package> m_package;
    CStaticFromImage m_picture;
    CBrush m_linkBrush;
};
