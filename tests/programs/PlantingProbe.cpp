// A program linked the ordinary way against version.dll: started beside the planted
// libraries it loads the planted copy, which shows that the planting test can see a load.
// It calls nothing of the library unless asked, so the copy's missing functions never run.
#include <windows.h>

int wmain(int argc, wchar_t**)
{
    if (argc < 2)
        return 0;
    DWORD handle = 0;
    return GetFileVersionInfoSizeW(L"C:\\windows\\system32\\kernel32.dll", &handle) > 0 ? 0 : 1;
}
