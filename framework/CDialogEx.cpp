#include "framework/CDialogEx.h"

#include <commctrl.h>

namespace {

CWnd* ItemOf(CDataExchange* pDX, int id, HWND& item)
{
    item = ::GetDlgItem(pDX->m_pDlgWnd->GetSafeHwnd(), id);
    return pDX->m_pDlgWnd;
}

} // namespace

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (control.GetSafeHwnd())
        return;
    HWND item = nullptr;
    ItemOf(pDX, id, item);
    if (item)
        control.SubclassWindow(item);
}

void DDX_Text(CDataExchange* pDX, int id, CString& value)
{
    HWND item = nullptr;
    ItemOf(pDX, id, item);
    if (!item)
        return;
    if (pDX->m_bSaveAndValidate) {
        CWnd wrapper(item);
        value = wrapper.GetWindowText();
        wrapper.Detach();
    } else {
        ::SetWindowTextW(item, value);
    }
}

void DDX_Check(CDataExchange* pDX, int id, int& value)
{
    HWND item = nullptr;
    ItemOf(pDX, id, item);
    if (!item)
        return;
    if (pDX->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(item, BM_GETCHECK, 0, 0));
    else
        ::SendMessageW(item, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

CDialogEx::~CDialogEx()
{
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        // The derived parts are gone: the window must not reach them while it is destroyed.
        ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
        HWND hwnd = Detach();
        ::DestroyWindow(hwnd);
    }
}

HWND CDialogEx::MakeWindow(HWND parent)
{
    m_controlsBound = false;
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), parent,
                                &CDialogEx::DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialogEx::Create(UINT templateId, CWnd* parent)
{
    m_templateId = templateId;
    m_parent = parent;
    return MakeWindow(parent ? parent->GetSafeHwnd() : nullptr) ? TRUE : FALSE;
}

bool CDialogEx::PreTranslate(MSG& msg)
{
    // The innermost dialog around the target handles dialog keys first, so Enter and
    // Escape inside a child dialog go to that child dialog and not to the frame.
    for (HWND hwnd = msg.hwnd; hwnd; hwnd = ::GetParent(hwnd)) {
        wchar_t className[16] = {};
        ::GetClassNameW(hwnd, className, 16);
        if (wcscmp(className, L"#32770") == 0 && ::IsDialogMessageW(hwnd, &msg))
            return true;
        if (!(::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD))
            break;
    }
    return false;
}

INT_PTR CDialogEx::DoModal()
{
    HWND owner = m_parent ? m_parent->GetSafeHwnd() : nullptr;
    m_modalEnded = false;
    m_modalResult = -1;
    m_modalRunning = true;
    HWND hwnd = MakeWindow(owner);
    if (!hwnd) {
        m_modalRunning = false;
        return -1;
    }
    bool ownerDisabled = false;
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        ownerDisabled = true;
    }
    // A modal dialog shows whatever its template says: a hidden one would leave the
    // user with a disabled owner and nothing to answer.
    if (!m_modalEnded && m_hWnd && !::IsWindowVisible(m_hWnd))
        ::ShowWindow(m_hWnd, SW_SHOWNORMAL);
    MSG msg;
    while (!m_modalEnded) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0)
            break;
        if (PreTranslate(msg))
            continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    m_modalRunning = false;
    if (ownerDisabled)
        ::EnableWindow(owner, TRUE);
    if (m_hWnd) {
        ::ShowWindow(m_hWnd, SW_HIDE);
        DestroyWindow();
    }
    return m_modalResult;
}

void CDialogEx::EndDialog(int result)
{
    if (m_modalRunning) {
        m_modalResult = result;
        m_modalEnded = true;
        // Wakes the loop when this is called from outside a message.
        if (m_hWnd)
            ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
    } else if (m_hWnd) {
        DestroyWindow();
    }
}

BOOL CDialogEx::UpdateData(BOOL saveAndValidate)
{
    if (!m_hWnd)
        return FALSE;
    CDataExchange exchange(this, saveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

void CDialogEx::SetBackgroundColor(COLORREF color, BOOL repaint)
{
    m_background = color;
    m_hasBackground = true;
    m_backgroundBrush.CreateSolidBrush(color);
    if (repaint && m_hWnd)
        Invalidate();
}

void CDialogEx::DoDataExchange(CDataExchange*) {}

BOOL CDialogEx::OnInitDialog()
{
    m_controlsBound = true;
    UpdateData(FALSE);
    return TRUE;
}

bool CDialogEx::OnCommand(UINT id, UINT code, HWND)
{
    if (code != BN_CLICKED && code != 0)
        return false;
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialogEx::OnNotify(const NMHDR*, LRESULT*)
{
    return false;
}

HBRUSH CDialogEx::DefaultCtlColor(HDC dc, UINT kind)
{
    if (!m_hasBackground)
        return nullptr;
    if (kind == CTLCOLOR_DLG)
        return m_backgroundBrush;
    if (kind == CTLCOLOR_STATIC || kind == CTLCOLOR_BTN) {
        ::SetBkColor(dc, m_background);
        return m_backgroundBrush;
    }
    return nullptr;
}

HBRUSH CDialogEx::OnCtlColor(HDC dc, CWnd*, UINT kind)
{
    return DefaultCtlColor(dc, kind);
}

void CDialogEx::OnTimer(UINT_PTR) {}

bool CDialogEx::OnUserMessage(UINT, WPARAM, LPARAM, LRESULT*)
{
    return false;
}

bool CDialogEx::OnPaint()
{
    return false;
}

bool CDialogEx::OnSysCommand(UINT, LPARAM)
{
    return false;
}

HCURSOR CDialogEx::OnQueryDragIcon()
{
    return nullptr;
}

void CDialogEx::OnClose()
{
    OnCancel();
}

void CDialogEx::OnOK()
{
    EndDialog(IDOK);
}

void CDialogEx::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialogEx::OnDestroy() {}

bool CDialogEx::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*)
{
    return false;
}

INT_PTR CDialogEx::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    INT_PTR result = 0;
    if (OnMessage(message, wParam, lParam, &result))
        return result;
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_NOTIFY: {
        LRESULT notifyResult = 0;
        if (!OnNotify(reinterpret_cast<const NMHDR*>(lParam), &notifyResult))
            return FALSE;
        ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, notifyResult);
        return TRUE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORMSGBOX: {
        CWnd control(reinterpret_cast<HWND>(lParam));
        HBRUSH brush = OnCtlColor(reinterpret_cast<HDC>(wParam), &control, message - WM_CTLCOLORMSGBOX);
        control.Detach();
        return reinterpret_cast<INT_PTR>(brush);
    }
    case WM_TIMER:
        OnTimer(wParam);
        return TRUE;
    case WM_PAINT:
        return OnPaint() ? TRUE : FALSE;
    case WM_SYSCOMMAND:
        return OnSysCommand(static_cast<UINT>(wParam), lParam) ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case WM_CLOSE:
        OnClose();
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        break;
    }
    if (message >= WM_USER && message < 0xC000) {
        LRESULT userResult = 0;
        if (OnUserMessage(message, wParam, lParam, &userResult)) {
            ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, userResult);
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR CALLBACK CDialogEx::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CDialogEx*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogEx*>(lParam);
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        if (self)
            self->m_hWnd = hwnd;
    }
    if (!self)
        return FALSE;
    INT_PTR result = FALSE;
    // No failure of a handler may cross into the system's dialog code.
    try {
        result = self->Dispatch(message, wParam, lParam);
    } catch (...) {
        result = FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, 0);
        if (self->m_hWnd == hwnd)
            self->m_hWnd = nullptr;
        if (self->m_modalRunning)
            self->m_modalEnded = true;
    }
    return result;
}
