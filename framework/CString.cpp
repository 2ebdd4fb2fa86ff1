#include "framework/CString.h"

#include "win32/TextConversion.h"

#include <cstring>
#include <cwctype>
#include <vector>

CString::CString(const char* ansiText)
    : m_text(ansiText ? win32::ToWide(ansiText, strlen(ansiText), CP_THREAD_ACP) : std::wstring())
{
}

int CString::Find(wchar_t ch, int start) const
{
    if (start < 0 || start > GetLength())
        return -1;
    size_t pos = m_text.find(ch, static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(const wchar_t* sub, int start) const
{
    if (!sub || start < 0 || start > GetLength())
        return -1;
    size_t pos = m_text.find(sub, static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(wchar_t ch) const
{
    size_t pos = m_text.rfind(ch);
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int count) const
{
    if (count <= 0)
        return CString();
    return CString(m_text.substr(0, static_cast<size_t>(count)));
}

CString CString::Right(int count) const
{
    if (count <= 0)
        return CString();
    if (count >= GetLength())
        return *this;
    return CString(m_text.substr(m_text.size() - static_cast<size_t>(count)));
}

CString CString::Mid(int first) const
{
    if (first < 0)
        first = 0;
    if (first >= GetLength())
        return CString();
    return CString(m_text.substr(static_cast<size_t>(first)));
}

CString CString::Mid(int first, int count) const
{
    if (first < 0)
        first = 0;
    if (count <= 0 || first >= GetLength())
        return CString();
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString& CString::MakeLower()
{
    for (auto& ch : m_text)
        ch = static_cast<wchar_t>(towlower(ch));
    return *this;
}

CString& CString::MakeUpper()
{
    for (auto& ch : m_text)
        ch = static_cast<wchar_t>(towupper(ch));
    return *this;
}

CString& CString::Trim()
{
    return TrimRight().TrimLeft();
}

CString& CString::TrimLeft()
{
    size_t i = 0;
    while (i < m_text.size() && iswspace(m_text[i]))
        ++i;
    m_text.erase(0, i);
    return *this;
}

CString& CString::TrimRight()
{
    while (!m_text.empty() && iswspace(m_text.back()))
        m_text.pop_back();
    return *this;
}

CString& CString::TrimRight(const wchar_t* chars)
{
    while (!m_text.empty() && chars && wcschr(chars, m_text.back()))
        m_text.pop_back();
    return *this;
}

int CString::Replace(const wchar_t* oldText, const wchar_t* newText)
{
    if (!oldText || !*oldText)
        return 0;
    const std::wstring from(oldText);
    const std::wstring to(newText ? newText : L"");
    int count = 0;
    std::wstring result;
    size_t pos = 0;
    for (;;) {
        size_t hit = m_text.find(from, pos);
        if (hit == std::wstring::npos)
            break;
        result.append(m_text, pos, hit - pos);
        result += to;
        pos = hit + from.size();
        ++count;
    }
    if (count) {
        result.append(m_text, pos, std::wstring::npos);
        m_text.swap(result);
    }
    return count;
}

int CString::Replace(wchar_t oldCh, wchar_t newCh)
{
    int count = 0;
    for (auto& ch : m_text) {
        if (ch == oldCh) {
            ch = newCh;
            ++count;
        }
    }
    return count;
}

int CString::Remove(wchar_t ch)
{
    size_t before = m_text.size();
    std::wstring kept;
    kept.reserve(before);
    for (wchar_t c : m_text)
        if (c != ch)
            kept += c;
    m_text.swap(kept);
    return static_cast<int>(before - m_text.size());
}

int CString::Insert(int index, const wchar_t* text)
{
    if (index < 0)
        index = 0;
    if (index > GetLength())
        index = GetLength();
    m_text.insert(static_cast<size_t>(index), text ? text : L"");
    return GetLength();
}

int CString::Delete(int index, int count)
{
    if (index >= 0 && index < GetLength() && count > 0)
        m_text.erase(static_cast<size_t>(index), static_cast<size_t>(count));
    return GetLength();
}

void CString::FormatV(const wchar_t* format, va_list args)
{
    va_list probe;
    va_copy(probe, args);
    int length = _vscwprintf(format, probe);
    va_end(probe);
    if (length < 0) {
        m_text.clear();
        return;
    }
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    _vsnwprintf(buffer.data(), buffer.size(), format, args);
    m_text.assign(buffer.data(), static_cast<size_t>(length));
}

void CString::Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const wchar_t* format, ...)
{
    CString tail;
    va_list args;
    va_start(args, format);
    tail.FormatV(format, args);
    va_end(args);
    m_text += tail.m_text;
}

wchar_t* CString::GetBuffer(int minLength)
{
    if (minLength > GetLength())
        m_text.resize(static_cast<size_t>(minLength));
    return &m_text[0];
}

wchar_t* CString::GetBufferSetLength(int length)
{
    m_text.resize(static_cast<size_t>(length > 0 ? length : 0));
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength)
{
    if (newLength < 0)
        newLength = static_cast<int>(wcsnlen(m_text.c_str(), m_text.size()));
    m_text.resize(static_cast<size_t>(newLength));
}

BOOL CString::LoadString(UINT id)
{
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadStringW hands out a read-only pointer into the resource.
    int length = ::LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) {
        m_text.clear();
        return FALSE;
    }
    m_text.assign(text, static_cast<size_t>(length));
    return TRUE;
}

std::string ToAnsi(const CString& text)
{
    return win32::ToNarrow(text.str(), CP_THREAD_ACP);
}
