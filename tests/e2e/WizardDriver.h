// Helpers that start the built wizard and work it from the outside, as a user would:
// find its windows, press buttons, read texts, answer message boxes, take screenshots.
// Every wait has a time limit; a helper that times out returns null or false.
#pragma once

#include "win32/UniqueResource.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using Milliseconds = std::chrono::milliseconds;
const Milliseconds DefaultWait{15000};

// Polls the condition until it holds or the time is up.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds limit = DefaultWait);

// A copy of the built wizard started as its own process. The copy carries a download
// token in its file name; the process is ended when the object goes.
class WizardProcess {
public:
    WizardProcess() = default;
    ~WizardProcess();
    WizardProcess(const WizardProcess&) = delete;
    WizardProcess& operator=(const WizardProcess&) = delete;

    // The copy's file name carries the download token; the wizard inherits the driver's
    // environment (LC_ALL included, which sets its user locale).
    // The copy goes to the temporary folder, or to the folder given, which is then also
    // the process's current folder.
    bool Start(const std::wstring& fileName = L"OrvaneSetup_ab12-cd.exe", const std::wstring& folder = std::wstring());
    DWORD Id() const noexcept { return m_id; }
    bool IsRunning() const;
    // Waits for the process to end; its exit code, or nothing when it still runs.
    bool WaitForExit(Milliseconds limit, DWORD* exitCode = nullptr) const;
    void Kill();

private:
    win32::unique_handle m_process;
    DWORD m_id = 0;
    std::wstring m_copy;
};

// The wizard's frame: its visible top-level dialog with the page host.
HWND WaitForFrame(const WizardProcess& wizard, Milliseconds limit = DefaultWait);
// The page that shows now (a visible child dialog of the frame), or null.
HWND VisiblePage(HWND frame);
// The page's name, told by its controls ("LanguagePage", "ErrorPage", ...); empty when unknown.
std::wstring PageName(HWND page);
// Waits until the named page shows; returns it.
HWND WaitForPage(HWND frame, const std::wstring& name, Milliseconds limit = DefaultWait);

// A visible top-level dialog of the process with that caption, or null. Hidden windows
// never count: a user cannot see or use them.
HWND FindDialog(DWORD processId, const std::wstring& caption);
HWND WaitForDialog(const WizardProcess& wizard, const std::wstring& caption, Milliseconds limit = DefaultWait);

// A message box of the process (a dialog with the message text control), or null.
HWND FindMessageBox(DWORD processId);
HWND WaitForMessageBox(const WizardProcess& wizard, Milliseconds limit = DefaultWait);
std::wstring MessageBoxText(HWND box);
// Presses the button with that id (IDOK, IDCANCEL, ...) of the box.
void AnswerMessageBox(HWND box, int button);

std::wstring WindowText(HWND window);
// The dialog's item with that id when the user can see it, or null.
HWND VisibleItem(HWND dialog, int id);
// The text of a visible item; empty when the item is missing or hidden.
std::wstring ItemText(HWND dialog, int id);
// Presses a button as a click does; returns at once (the wizard may answer with a box).
// False, and nothing pressed, when the button is hidden or disabled.
bool Click(HWND dialog, int id);
// Sends a key press to the wizard's focused window, through its message loop.
void PressKey(const WizardProcess& wizard, WPARAM key);
// The entries of a combo box and the selected index.
std::vector<std::wstring> ComboItems(HWND combo);
int ComboSelection(HWND combo);

// The colour of one pixel of the display, in screen coordinates.
COLORREF ScreenPixel(int x, int y);
// Saves the whole display as a PNG file in the screenshot folder (ORVANE_SCREENSHOT_DIR
// when set, else the build's); returns its path.
std::wstring SaveScreenshot(const std::wstring& name);

// The wizard's working folders (fresh folders in the temporary folder).
std::vector<std::wstring> WorkingFolders();

} // namespace e2e
