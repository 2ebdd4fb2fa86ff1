// The start-up benchmark's reference: the least a Win32 dialog program does before its
// first page shows. One modal dialog from a template in memory, with a text and a
// button, the common controls of the system and nothing else.
//   bench_minimal_dialog
// Ends when the dialog is closed (the benchmark ends the process itself).
// Built a second time as bench_minimal_dialog_loaded (ORVANE_BENCH_LOADED): the same
// dialog after loading what the wizard loads before its first page (common controls 6
// through the wizard's manifest, the rich edit library, GDI+), which costs any program
// the same.
#include <windows.h>
#ifdef ORVANE_BENCH_LOADED
#include <commctrl.h>
#include <gdiplus.h>
#endif

#include <cstring>
#include <vector>

namespace {

// Appends a 16-bit word, a zero-terminated UTF-16 text, or pads to a 32-bit boundary.
void Word(std::vector<WORD>& t, WORD value) { t.push_back(value); }
void Text(std::vector<WORD>& t, const wchar_t* text)
{
    do
        t.push_back(static_cast<WORD>(*text));
    while (*text++);
}
void Align(std::vector<WORD>& t)
{
    if (t.size() % 2)
        t.push_back(0);
}

void Item(std::vector<WORD>& t, DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom,
          const wchar_t* text)
{
    Align(t);
    DLGITEMTEMPLATE item = {style | WS_CHILD | WS_VISIBLE, 0, x, y, cx, cy, id};
    const WORD* raw = reinterpret_cast<const WORD*>(&item);
    t.insert(t.end(), raw, raw + sizeof(item) / sizeof(WORD));
    Word(t, 0xFFFF);
    Word(t, classAtom);
    Text(t, text);
    Word(t, 0); // no creation data
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
#ifdef ORVANE_BENCH_LOADED
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    LoadLibraryW(L"RICHED32.DLL");
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
#endif
    std::vector<WORD> t;
    DLGTEMPLATE dialog = {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT | DS_CENTER,
                          0, 2, 0, 0, 300, 180};
    const WORD* raw = reinterpret_cast<const WORD*>(&dialog);
    t.insert(t.end(), raw, raw + sizeof(dialog) / sizeof(WORD));
    Word(t, 0);          // no menu
    Word(t, 0);          // the dialog class
    Text(t, L"Setup");   // caption
    Word(t, 8);          // font size
    Text(t, L"MS Shell Dlg");
    Item(t, SS_LEFT, 10, 10, 280, 40, 100, 0x0082, L"Choose the language of the setup.");
    Item(t, BS_DEFPUSHBUTTON | WS_TABSTOP, 230, 155, 60, 16, IDOK, 0x0080, L"Next");
    return static_cast<int>(DialogBoxIndirectParamW(instance, reinterpret_cast<DLGTEMPLATE*>(t.data()), nullptr,
                                                    DialogProc, 0));
}
