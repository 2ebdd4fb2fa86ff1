#include "win32/TextConversion.h"

#include <climits>

namespace win32 {

namespace {

std::wstring Widen(const char* text, size_t length, UINT codePage, DWORD flags)
{
    if (!text || length == 0 || length > INT_MAX)
        return std::wstring();
    const int count = MultiByteToWideChar(codePage, flags, text, static_cast<int>(length), nullptr, 0);
    if (count <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(count), L'\0');
    const int written = MultiByteToWideChar(codePage, flags, text, static_cast<int>(length), &wide[0], count);
    wide.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return wide;
}

} // namespace

std::wstring ToWide(const char* text, size_t length, UINT codePage)
{
    return Widen(text, length, codePage, 0);
}

bool ToWideStrict(const char* text, size_t length, UINT codePage, std::wstring& wide)
{
    wide = Widen(text, length, codePage, MB_ERR_INVALID_CHARS);
    return length == 0 || !wide.empty();
}

std::string ToNarrow(const wchar_t* text, size_t length, UINT codePage)
{
    if (!text || length == 0 || length > INT_MAX)
        return std::string();
    const int count =
        WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (count <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(count), '\0');
    const int written =
        WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), &narrow[0], count, nullptr, nullptr);
    narrow.resize(written > 0 ? static_cast<size_t>(written) : 0);
    return narrow;
}

} // namespace win32
