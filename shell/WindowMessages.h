// Window messages between the program's own windows and threads.
#pragma once

#include <windows.h>

// Download progress in percent (wParam), from a download worker to its download page.
constexpr UINT WM_DOWNLOAD_PROGRESS = WM_USER + 1;
// The download's total size is not announced, from a download worker to its page.
constexpr UINT WM_DOWNLOAD_LENGTH_UNAVAILABLE = WM_USER + 2;
// Loading is complete, to the frame.
constexpr UINT WM_LOAD_COMPLETE = WM_USER + 3;
// The configuration request has finished, from the loading task to the loading page.
constexpr UINT WM_REQUEST_COMPLETE = WM_USER + 4;
