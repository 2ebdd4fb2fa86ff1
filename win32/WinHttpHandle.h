// Owner of WinHTTP handles (sessions, connections, requests). Kept apart from the
// WinINet owner: winhttp.h and wininet.h cannot share a translation unit.
#pragma once

#include "win32/UniqueResource.h"

#include <winhttp.h>

namespace win32 {

struct WinHttpHandleTraits {
    static HINTERNET Invalid() noexcept { return nullptr; }
    static void Close(HINTERNET h) noexcept { ::WinHttpCloseHandle(h); }
};
using unique_winhttp = UniqueResource<HINTERNET, WinHttpHandleTraits>;

} // namespace win32
