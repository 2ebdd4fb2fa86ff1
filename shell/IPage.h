// A wizard page: a child dialog over the frame's page host. Its texts come from the
// locale table through a list of (control, key) pairs; its buttons and failures reach
// the frame through two callbacks.
#pragma once

#include "framework/CDialogEx.h"
#include "framework/CFont.h"
#include "shell/ButtonType.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class LanguageManager;

class IPage : public CDialogEx {
public:
    using ButtonCallback = std::function<void(ButtonType)>;
    using ErrorCallback = std::function<void(const CString&, const CString&)>;

    IPage(std::shared_ptr<LanguageManager> languageManager, UINT templateId, CWnd* parent);
    ~IPage() override;

    // Called by the frame right after the page became the current one.
    virtual void OnNavigateToPage() = 0;
    virtual void SetButtonCallback(ButtonCallback callback) = 0;
    virtual void SetErrorCallback(ErrorCallback callback) = 0;
    // Re-reads every registered control's text from the locale table.
    virtual void UpdateTexts();
    virtual CString GetName() = 0;

    // Makes the page window as a child of the frame.
    BOOL CreatePage(CWnd* parent) { return Create(GetTemplateId(), parent); }

    const std::vector<std::pair<CWnd*, std::string>>& LocalizedControls() const { return m_localizedControls; }

protected:
    HBRUSH OnCtlColor(HDC dc, CWnd* control, UINT kind) override;
    // Enter and Escape inside a page never close it.
    void OnOK() override {}
    void OnCancel() override {}

    void AddLocalizedControl(const std::string& key, int controlId);
    // A bold title font made from the font of a control, kept by the page.
    void MakeTitleFont(int controlId, CFont& font);

    std::shared_ptr<LanguageManager> m_languageManager;
    std::vector<std::pair<CWnd*, std::string>> m_localizedControls;
    CBrush m_brush;
};
