// Entry point of the wizard.
#include "shell/COrvaneApp.h"
#include "shell/LibraryLoading.h"

#include <windows.h>

extern "C" int WinMainCRTStartup();

// The program's first instruction: library loading is limited before anything else is
// loaded (every import but kernel32, the C runtime and ntdll is bound on first call);
// then the C runtime starts and calls wWinMain.
extern "C" int OrvaneStartup()
{
    RestrictLibraryLoading();
    return WinMainCRTStartup();
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    COrvaneApp application;
    return application.Run();
}
