#include "win32/SystemErrorText.h"

#include "win32/UniqueResource.h"

namespace win32 {

std::wstring SystemErrorText(DWORD code)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    unique_hlocal owner(text);
    if (length == 0 || !text)
        return std::wstring();
    return std::wstring(text, length);
}

} // namespace win32
