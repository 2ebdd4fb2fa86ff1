#include "shell/COrvaneDlg.h"

#include "config/BuildSettings.h"
#include "config/ConfigurationManager.h"
#include "framework/Afx.h"
#include "install/DownloadManager.h"
#include "install/DownloadPageDlm.h"
#include "install/DownloadPageIsv.h"
#include "install/ErrorPage.h"
#include "install/FinishPageDlm.h"
#include "install/FinishPageIsv.h"
#include "locale/LanguageManager.h"
#include "locale/LanguagePage.h"
#include "locale/LanguagePageBT.h"
#include "net/CommonEventData.h"
#include "offers/LoadingPage.h"
#include "offers/Package.h"
#include "offers/ProductPage.h"
#include "res/resource.h"
#include "shell/CAboutDlg.h"
#include "shell/ConfigurationsPageBTClassic.h"
#include "shell/FolderRemoval.h"
#include "shell/LicensePageIsv.h"
#include "shell/OptionsPageBTClassic.h"
#include "shell/WarningPageBTClassic.h"
#include "shell/WelcomePageIsv.h"
#include "shell/WindowMessages.h"
#include "win32/ScopedGdi.h"

#include <chrono>

namespace {

const int BandId = IDC_FRAME_BAND;
const int HeaderIconId = IDC_HEADER_ICON;
const int HeaderSeparatorId = IDC_HEADER_LINE;
const int HeaderTitleId = IDC_PRODUCT_TITLE;
const int PageHostId = IDC_PAGE_HOST;
const UINT ShowErrorCommand = IDM_SHOW_ERROR;
// How long the closing events may keep the process after the window is gone. The
// process needs a few seconds more to end while posts are still running, and all of it
// stays within 30 s.
const std::chrono::seconds ClosingEventsLimit(25);

} // namespace

COrvaneDlg::COrvaneDlg(CWnd* parent)
    : CDialogEx(IDD_ORVANE_DIALOG, parent), m_languageManager(std::make_shared<LanguageManager>(this))
{
    m_hIcon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

COrvaneDlg::~COrvaneDlg()
{
    // GDI+ images kept elsewhere go before GDI+ is shut down: the pages' own first,
    // then the product picture the configuration holds.
    m_errorPage.reset();
    m_pages.clear();
    m_icon.SetImage(nullptr);
    auto configuration = ConfigurationManager::GetInstance();
    configuration->productImage.reset();
    for (const auto& package : configuration->acceptedPackages)
        package->m_image.reset();
    for (const auto& package : configuration->presentedPackages)
        package->m_image.reset();
}

void COrvaneDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, HeaderTitleId, m_title);
    DDX_Control(pDX, HeaderIconId, m_icon);
    DDX_Control(pDX, HeaderSeparatorId, m_separator);
    DDX_Control(pDX, BandId, m_band);
}

BOOL COrvaneDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();

    CString aboutText;
    aboutText.LoadString(IDS_ABOUTBOX);
    HMENU systemMenu = GetSystemMenu(FALSE);
    if (systemMenu && !aboutText.IsEmpty()) {
        ::AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
    }
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    if (IsAnotherInstanceRunning()) {
        ::MessageBoxW(m_hWnd, L"Another setup is already running, please close it and try again", L"Error",
                      MB_ICONERROR | MB_SYSTEMMODAL);
        // This copy made a working folder of its own; it must not outlive the copy.
        DeleteWorkingFolder();
        EndDialog(1);
        return FALSE;
    }

    auto configuration = ConfigurationManager::GetInstance();
    CString title;
    switch (configuration->wizardType) {
    case 1:
        title = L"Setup";
        break;
    case 2:
        title = configuration->productTitle + L" ";
        break;
    default:
        AfxMessageBox(L"Invalid wizard type", MB_ICONERROR | MB_SYSTEMMODAL);
        DeleteWorkingFolder();
        EndDialog(1);
        return FALSE;
    }
    SetWindowText(title);
    m_brush.CreateSolidBrush(configuration->accentColor);
    m_title.SetWindowText(configuration->productTitle);

    CreateInitialPages();

    if (configuration->wizardType == 2) {
        m_icon.ShowWindow(SW_HIDE);
        m_separator.ShowWindow(SW_HIDE);
    }
    m_title.ShowWindow(SW_HIDE);
    // The first page has the focus (so Enter reaches its default button); the dialog
    // manager must not move it to the frame's own first control.
    return ::IsChild(m_hWnd, ::GetFocus()) ? FALSE : TRUE;
}

bool COrvaneDlg::IsAnotherInstanceRunning()
{
    CString name = CString(L"Global\\Orvane") + CString(build::WizardTypeName) + L"SingleInstanceMutex";
    m_mutex.reset(::CreateMutexW(nullptr, TRUE, name));
    if (m_mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        m_mutex.reset();
        return true;
    }
    return false;
}

CRect COrvaneDlg::PageHostRect()
{
    CRect rect;
    CWnd* host = GetDlgItem(PageHostId);
    if (host && host->IsWindow()) {
        host->GetWindowRect(rect);
        ScreenToClient(rect);
    }
    return rect;
}

void COrvaneDlg::CreatePage(IPage* page, const CRect& rect)
{
    page->CreatePage(this);
    page->SetBackgroundColor(ConfigurationManager::GetInstance()->backgroundColor, TRUE);
    page->SetButtonCallback([this](ButtonType type) { OnButton(type); });
    page->ShowWindow(SW_HIDE);
    page->SetWindowPos(nullptr, rect.left, rect.top, rect.Width(), rect.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

void COrvaneDlg::CreateAndAddPage(std::unique_ptr<IPage> page, const CRect& rect)
{
    CreatePage(page.get(), rect);
    page->SetErrorCallback([this](const CString& title, const CString& text) { ShowErrorPage(title, text); });
    m_pages.push_back(std::move(page));
}

bool COrvaneDlg::CreateInitialPages()
{
    auto configuration = ConfigurationManager::GetInstance();
    CRect host = PageHostRect();

    m_errorPage.reset();
    m_errorPage = std::make_unique<ErrorPage>(m_languageManager, this);
    CreatePage(m_errorPage.get(), host);

    if (configuration->btClassicFlow)
        CreateAndAddPage(std::make_unique<LanguagePageBT>(m_languageManager, this), host);
    else
        CreateAndAddPage(std::make_unique<LanguagePage>(m_languageManager, this), host);

    CreateAndAddPage(std::make_unique<LoadingPage>(m_languageManager, this), host);
    if (auto* loading = dynamic_cast<LoadingPage*>(m_pages.back().get())) {
        loading->onPackagesReady = [this](std::vector<std::shared_ptr<Package>> offers) {
            m_offers = std::move(offers);
            PostMessage(WM_LOAD_COMPLETE, 0, 0);
        };
    }

    m_current = 0;
    if (m_pages.empty())
        return false;
    m_pages[0]->ShowWindow(SW_SHOW);
    m_pages[0]->SetFocus();
    return true;
}

LRESULT COrvaneDlg::OnLoadCompleteMessage(WPARAM, LPARAM)
{
    auto configuration = ConfigurationManager::GetInstance();
    const int wizardType = configuration->wizardType;
    m_languageManager->SelectLanguage(configuration->languageName);

    if (wizardType == 1) {
        m_icon.SetImage(configuration->productImage);
        m_icon.ShowWindow(SW_SHOW);
        m_title.SetWindowText(configuration->productTitle);
        m_title.ShowWindow(SW_SHOW);
        SetWindowText(configuration->productTitle + L" Setup");
    }
    // The main package reports from now on with the loaded product's texts.
    if (configuration->mainPackage) {
        try {
            configuration->mainPackage->Refresh(
                BuildCommonEventData(), wizardType == 1 ? configuration->productTitle : configuration->channelName,
                configuration->productTagFl, configuration->productTitle, configuration->productTagH);
        } catch (const std::exception&) {
            // The package keeps the texts it had.
        }
    }

    CRect host = PageHostRect();
    if (configuration->btClassicFlow) {
        if (configuration->btClassicMode)
            CreateAndAddPage(std::make_unique<WarningPageBTClassic>(m_languageManager, this), host);
        CreateAndAddPage(std::make_unique<LicensePageIsv>(m_languageManager, this), host);
    } else {
        CreateAndAddPage(std::make_unique<WelcomePageIsv>(m_languageManager, this), host);
    }
    for (const auto& offer : m_offers)
        CreateAndAddPage(std::make_unique<ProductPage>(m_languageManager, offer, this), host);
    if (configuration->btClassicMode) {
        CreateAndAddPage(std::make_unique<OptionsPageBTClassic>(m_languageManager, this), host);
        CreateAndAddPage(std::make_unique<ConfigurationsPageBTClassic>(m_languageManager, this), host);
    }
    if (wizardType == 1) {
        CreateAndAddPage(std::make_unique<DownloadPageDlm>(m_languageManager, this), host);
        CreateAndAddPage(std::make_unique<FinishPageDlm>(m_languageManager, this), host);
    } else {
        CreateAndAddPage(std::make_unique<DownloadPageIsv>(m_languageManager, this), host);
        if (auto* download = dynamic_cast<DownloadPageIsv*>(m_pages.back().get())) {
            download->onInstallBusy = [this] { m_installRunning = true; };
            download->onInstallIdle = [this] { m_installRunning = false; };
        }
        CreateAndAddPage(std::make_unique<FinishPageIsv>(m_languageManager, this), host);
    }
    OnButton(ButtonType::Next);
    return 0;
}

void COrvaneDlg::ShowPage(size_t index)
{
    if (index >= m_pages.size())
        return;
    IPage* page = m_pages[index].get();
    page->ShowWindow(SW_SHOW);
    page->SetFocus();
    if (m_current < m_pages.size() && m_current != index)
        m_pages[m_current]->ShowWindow(SW_HIDE);
    m_current = index;
    page->OnNavigateToPage();

    CString name = page->GetName();
    if (name == L"DownloadPageDLM" || name == L"DownloadPageISV") {
        ::RemoveMenu(GetSystemMenu(FALSE), SC_CLOSE, MF_BYCOMMAND);
        RedrawCaption();
    } else if (name == L"FinishPageDLM" || name == L"FinishPageISV") {
        AppendCloseItem();
        RedrawCaption();
    }
    ::OutputDebugStringW(name + L"\n");
}

// The caption's close button follows the system menu only when the frame is drawn again.
void COrvaneDlg::RedrawCaption()
{
    ::SetWindowPos(GetSafeHwnd(), nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void COrvaneDlg::AppendCloseItem()
{
    HMENU menu = GetSystemMenu(FALSE);
    // One Close item is enough, however often the finish or error page shows.
    if (menu && ::GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) == static_cast<UINT>(-1))
        ::AppendMenuW(menu, MF_STRING, SC_CLOSE, L"Close");
}

void COrvaneDlg::OnButton(ButtonType type)
{
    size_t target = m_current;
    switch (type) {
    case ButtonType::Next:
        if (m_current != 0) {
            target = m_current + 1;
        } else if (m_wentBack) {
            target = 2;
        } else {
            StartMainPackage();
            target = 1;
        }
        break;
    case ButtonType::Accept:
    case ButtonType::Decline:
        target = m_current + 1;
        break;
    case ButtonType::Close:
        // The error page's Close ends the run too: nothing of it may stay behind.
        DeleteWorkingFolder();
        EndDialog(IDOK);
        return;
    case ButtonType::Finish:
        DeleteWorkingFolder();
        EndDialog(IDOK);
        return;
    case ButtonType::Back:
        m_wentBack = true;
        target = m_current == 2 ? 0 : m_current - 1;
        break;
    default:
        return;
    }
    ShowPage(target);
}

void COrvaneDlg::ShowErrorPage(const CString& title, const CString& text)
{
    if (m_current < m_pages.size())
        m_pages[m_current]->ShowWindow(SW_HIDE);
    if (auto* errorPage = dynamic_cast<ErrorPage*>(m_errorPage.get())) {
        errorPage->SetError(title, text);
        errorPage->ShowWindow(SW_SHOW);
        errorPage->SetFocus();
    }
    m_errorShown = true;
    AppendCloseItem();
    RedrawCaption();
}

bool COrvaneDlg::OnCommand(UINT id, UINT code, HWND control)
{
    if (id == ShowErrorCommand) {
        ShowErrorPage(L"Error", L"Error message");
        return true;
    }
    return CDialogEx::OnCommand(id, code, control);
}

bool COrvaneDlg::OnSysCommand(UINT id, LPARAM)
{
    if ((id & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    CAboutDlg about(this);
    about.DoModal();
    return true;
}

bool COrvaneDlg::OnPaint()
{
    if (!IsIconic())
        return false;
    win32::unique_paint_dc paint(m_hWnd);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(paint.get()), 0);
    CRect client;
    GetClientRect(client);
    int x = (client.Width() - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.Height() - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(paint.get(), x, y, m_hIcon);
    return true;
}

HCURSOR COrvaneDlg::OnQueryDragIcon()
{
    return static_cast<HCURSOR>(m_hIcon);
}

HBRUSH COrvaneDlg::OnCtlColor(HDC dc, CWnd* control, UINT kind)
{
    if (control && control->GetDlgCtrlID() == BandId) {
        ::SetBkMode(dc, TRANSPARENT);
        return m_brush;
    }
    return CDialogEx::OnCtlColor(dc, control, kind);
}

bool COrvaneDlg::OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message != WM_LOAD_COMPLETE)
        return false;
    *result = OnLoadCompleteMessage(wParam, lParam);
    return true;
}

void COrvaneDlg::OnOK()
{
    // Enter never ends the wizard.
}

void COrvaneDlg::OnCancel()
{
    // Escape on the frame goes through the same question and clean-up as closing the window.
    OnClose();
}

void COrvaneDlg::OnClose()
{
    if (!m_errorShown) {
        const size_t count = m_pages.size();
        if (m_current + 1 < count || count == 2) {
            CString question = m_languageManager->GetText(m_installRunning ? "PROGRESS_QUIT" : "MSG_EXIT");
            if (::MessageBoxW(m_hWnd, question, L"", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
                return;
        }
    }
    m_mutex.reset();
    ShowWindow(SW_HIDE);
    auto configuration = ConfigurationManager::GetInstance();
    configuration->closing = true;
    DownloadManager::GetInstance()->m_cancel = true;
    SendClosingEvents();
    DeleteWorkingFolder();
    CDialogEx::OnCancel();
}

void COrvaneDlg::StartMainPackage()
{
    // The run's main package announces the start of the run (event 1). An event that
    // cannot be sent changes nothing in the wizard's flow.
    try {
        auto configuration = ConfigurationManager::GetInstance();
        const CommonEventData eventData = BuildCommonEventData();
        std::shared_ptr<Package> package;
        if (configuration->wizardType == 2) {
            package = std::make_shared<Package>(eventData, true, configuration->channelName,
                                                configuration->productTagFl, configuration->productTitle,
                                                configuration->productTagH, 0);
        } else {
            package = std::make_shared<Package>(eventData, true, CString(), CString(), CString(), CString(), 0);
        }
        configuration->mainPackage = package;
        package->SendEvent(1, nullptr);
    } catch (const std::exception&) {
    }
}

void COrvaneDlg::SendClosingEvents()
{
    // Every presented offer, then the main package, reports that the user left (event 5).
    // The posts run side by side and the wait ends at the deadline whatever the endpoint
    // does, so a silent server cannot keep the process alive after the window is gone.
    auto configuration = ConfigurationManager::GetInstance();
    std::vector<std::shared_ptr<Package>> packages = configuration->presentedPackages;
    if (configuration->mainPackage)
        packages.push_back(configuration->mainPackage);
    for (const auto& package : packages) {
        try {
            package->SendEvent(5, nullptr);
        } catch (const std::exception&) {
        }
    }
    const auto deadline = std::chrono::steady_clock::now() + ClosingEventsLimit;
    for (const auto& package : packages)
        if (!package->WaitForEventsUntil(deadline))
            break;
}

void COrvaneDlg::DeleteWorkingFolder()
{
    auto configuration = ConfigurationManager::GetInstance();
    if (!configuration->workingFolder.IsEmpty())
        DeleteFolderTree(configuration->workingFolder);
}
