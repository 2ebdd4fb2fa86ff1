// Owner of WinINet handles (sessions, connections, requests). See WinHttpHandle.h.
#pragma once

#include "win32/UniqueResource.h"

#include <wininet.h>

namespace win32 {

struct WinInetHandleTraits {
    static HINTERNET Invalid() noexcept { return nullptr; }
    static void Close(HINTERNET h) noexcept { ::InternetCloseHandle(h); }
};
using unique_hinternet = UniqueResource<HINTERNET, WinInetHandleTraits>;

} // namespace win32
