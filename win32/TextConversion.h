// Conversions between UTF-16 and narrow text in a code page: the one place where the
// program calls MultiByteToWideChar and WideCharToMultiByte. Text the code page cannot
// hold is written with the code page's default character; an empty or failed
// conversion gives an empty result.
#pragma once

#include <windows.h>

#include <string>

namespace win32 {

std::wstring ToWide(const char* text, size_t length, UINT codePage);
inline std::wstring ToWide(const std::string& text, UINT codePage)
{
    return ToWide(text.data(), text.size(), codePage);
}

// As ToWide, but false when the bytes are not valid text of the code page.
bool ToWideStrict(const char* text, size_t length, UINT codePage, std::wstring& wide);

std::string ToNarrow(const wchar_t* text, size_t length, UINT codePage);
inline std::string ToNarrow(const std::wstring& text, UINT codePage)
{
    return ToNarrow(text.data(), text.size(), codePage);
}

} // namespace win32
