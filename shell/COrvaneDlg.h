// The wizard frame: header, coloured band and the page host. It owns the pages and
// moves between them when a page reports a button, shows the error page when a page
// fails, refuses to run twice and decides what closing the window does.
#pragma once

#include "framework/CDialogEx.h"
#include "framework/CStatic.h"
#include "shell/ButtonType.h"
#include "shell/CStaticFromImage.h"
#include "shell/IPage.h"
#include "win32/UniqueResource.h"

#include <memory>
#include <vector>

class LanguageManager;
class Package;

class COrvaneDlg : public CDialogEx {
public:
    explicit COrvaneDlg(CWnd* parent = nullptr);
    ~COrvaneDlg() override;

    bool CreateInitialPages();
    void CreatePage(IPage* page, const CRect& rect);
    void CreateAndAddPage(std::unique_ptr<IPage> page, const CRect& rect);
    LRESULT OnLoadCompleteMessage(WPARAM wParam, LPARAM lParam);
    void ShowPage(size_t index);
    void OnButton(ButtonType type);
    void ShowErrorPage(const CString& title, const CString& text);

    bool IsAnotherInstanceRunning();
    void DeleteWorkingFolder();

    // What the page list looks like now (the wizard's tests look at it).
    const std::vector<std::unique_ptr<IPage>>& GetPages() const noexcept { return m_pages; }
    size_t GetCurrentIndex() const noexcept { return m_current; }
    IPage* GetErrorPage() const noexcept { return m_errorPage.get(); }
    bool IsErrorShown() const noexcept { return m_errorShown; }
    const std::shared_ptr<LanguageManager>& GetLanguageManager() const noexcept { return m_languageManager; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnSysCommand(UINT id, LPARAM lParam) override;
    bool OnPaint() override;
    HCURSOR OnQueryDragIcon() override;
    HBRUSH OnCtlColor(HDC dc, CWnd* control, UINT kind) override;
    bool OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnOK() override;
    void OnCancel() override;
    void OnClose() override;

private:
    CRect PageHostRect();
    void StartMainPackage();
    void SendClosingEvents();
    void AppendCloseItem();
    void RedrawCaption();

    HICON m_hIcon = nullptr;
    std::vector<std::unique_ptr<IPage>> m_pages;
    size_t m_current = 0;
    std::unique_ptr<IPage> m_errorPage;
    std::shared_ptr<LanguageManager> m_languageManager;
    bool m_errorShown = false;
    bool m_installRunning = false;
    bool m_wentBack = false;
    CStatic m_title;
    CStaticFromImage m_icon;
    CStatic m_separator;
    CStatic m_band;
    CBrush m_brush;
    std::vector<std::shared_ptr<Package>> m_offers;
    win32::unique_handle m_mutex;
};
