// The program's UTF-16 string: a small value type over std::wstring with the
// operations the wizard uses. Narrow text given to it is read in the thread's ANSI
// code page (the code page of the thread's locale, which may differ from the system's).
#pragma once

#include <windows.h>
#include <cstdarg>
#include <string>

class CString {
public:
    CString() = default;
    CString(const wchar_t* text) : m_text(text ? text : L"") {}
    CString(const wchar_t* text, int length) : m_text(text ? std::wstring(text, length) : std::wstring()) {}
    CString(wchar_t ch, int repeat = 1) : m_text(repeat > 0 ? repeat : 0, ch) {}
    CString(const std::wstring& text) : m_text(text) {}
    CString(std::wstring&& text) noexcept : m_text(std::move(text)) {}
    CString(const char* ansiText);

    operator LPCWSTR() const noexcept { return m_text.c_str(); }
    LPCWSTR GetString() const noexcept { return m_text.c_str(); }
    const std::wstring& str() const noexcept { return m_text; }

    int GetLength() const noexcept { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const noexcept { return m_text.empty(); }
    void Empty() noexcept { m_text.clear(); }
    wchar_t GetAt(int index) const { return m_text.at(static_cast<size_t>(index)); }
    void SetAt(int index, wchar_t ch) { m_text.at(static_cast<size_t>(index)) = ch; }
    wchar_t operator[](int index) const { return GetAt(index); }

    CString& operator=(const wchar_t* text)
    {
        m_text = text ? text : L"";
        return *this;
    }
    CString& operator+=(const CString& other)
    {
        m_text += other.m_text;
        return *this;
    }
    CString& operator+=(const wchar_t* text)
    {
        if (text)
            m_text += text;
        return *this;
    }
    CString& operator+=(wchar_t ch)
    {
        m_text += ch;
        return *this;
    }

    friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
    friend CString operator+(const CString& a, const wchar_t* b) { return a + CString(b); }
    friend CString operator+(const wchar_t* a, const CString& b) { return CString(a) + b; }
    friend CString operator+(const CString& a, wchar_t b) { return CString(a.m_text + b); }
    friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
    friend bool operator==(const CString& a, const wchar_t* b) { return a.m_text == (b ? b : L""); }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const wchar_t* b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }

    int Compare(const wchar_t* other) const { return wcscmp(m_text.c_str(), other ? other : L""); }
    int CompareNoCase(const wchar_t* other) const { return _wcsicmp(m_text.c_str(), other ? other : L""); }

    // Positions are zero-based; -1 means not found, as the callers expect.
    int Find(wchar_t ch, int start = 0) const;
    int Find(const wchar_t* sub, int start = 0) const;
    int ReverseFind(wchar_t ch) const;

    CString Left(int count) const;
    CString Right(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    CString& MakeLower();
    CString& MakeUpper();
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();
    CString& TrimRight(const wchar_t* chars);

    // Replaces every occurrence, left to right, without overlaps; returns how many.
    int Replace(const wchar_t* oldText, const wchar_t* newText);
    int Replace(wchar_t oldCh, wchar_t newCh);
    int Remove(wchar_t ch);
    int Insert(int index, const wchar_t* text);
    int Delete(int index, int count = 1);

    // printf-style formatting with the Windows conventions: %s takes a wide string.
    void Format(const wchar_t* format, ...);
    void FormatV(const wchar_t* format, va_list args);
    void AppendFormat(const wchar_t* format, ...);

    // Direct access for Win32 calls that fill a buffer.
    wchar_t* GetBuffer(int minLength = 0);
    wchar_t* GetBufferSetLength(int length);
    void ReleaseBuffer(int newLength = -1);

    BOOL LoadString(UINT id);

private:
    std::wstring m_text;
};

// The text in the thread's ANSI code page, as the framework converts wide text to narrow;
// characters the code page lacks become their nearest equivalent or "?".
std::string ToAnsi(const CString& text);
