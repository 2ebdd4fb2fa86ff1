#include "config/FileHelpers.h"

#include "config/PrivateFolder.h"
#include "win32/UniqueResource.h"

#include <ntsecapi.h>
#include <cwctype>
#include <cstdlib>

namespace {

void AddKnownFolder(FolderPlaceholderTable& table, const wchar_t* name, REFKNOWNFOLDERID id)
{
    // A folder that cannot be had still gets its entry, with an empty value.
    table.emplace(name, GetKnownFolder(id, false).str());
}

void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to)
{
    std::wstring result;
    size_t pos = 0;
    for (;;) {
        size_t hit = text.find(from, pos);
        if (hit == std::wstring::npos)
            break;
        result.append(text, pos, hit - pos);
        result += to;
        pos = hit + from.size();
    }
    result.append(text, pos, std::wstring::npos);
    text.swap(result);
}

void ExpandOne(std::wstring& text, const std::wstring& name, const std::wstring& value)
{
    const std::wstring placeholder = L"{" + name + L"}";
    if (text.find(placeholder) != std::wstring::npos)
        ReplaceAll(text, placeholder, value);
}

UINT RandomUnique()
{
    // The system's random source in advapi32, which is loaded already at this point:
    // loading bcrypt on the way to the first page would cost its crypto libraries.
    UINT value = 0;
    if (!RtlGenRandom(&value, sizeof(value)))
        value = GetTickCount() ^ (GetCurrentProcessId() << 16) ^ static_cast<UINT>(rand());
    // GetTempFileNameW uses the low 16 bits; zero would make it create a file.
    value &= 0xFFFF;
    return value ? value : 1;
}

} // namespace

FolderPlaceholderTable BuildFolderPlaceholders()
{
    FolderPlaceholderTable table;
    table.emplace(L"commonpf", L"{commonpf64}");
    AddKnownFolder(table, L"localappdata", FOLDERID_LocalAppData);
    AddKnownFolder(table, L"commonappdata", FOLDERID_RoamingAppData);
    AddKnownFolder(table, L"programdata", FOLDERID_ProgramData);
    AddKnownFolder(table, L"commonpf32", FOLDERID_ProgramFilesX86);

    wchar_t buffer[MAX_PATH + 1] = {};
    DWORD length = GetEnvironmentVariableW(L"ProgramW6432", buffer, MAX_PATH + 1);
    if (length >= 1 && length <= MAX_PATH)
        table.emplace(L"commonpf64", buffer);
    return table;
}

CString ExpandFolderPlaceholders(const CString& text, const FolderPlaceholderTable& table)
{
    std::wstring result = text.str();
    auto commonpf = table.find(L"commonpf");
    if (commonpf != table.end())
        ExpandOne(result, commonpf->first, commonpf->second);
    for (const auto& entry : table) {
        if (entry.first != L"commonpf" && entry.first != L"commonpf64")
            ExpandOne(result, entry.first, entry.second);
    }
    auto commonpf64 = table.find(L"commonpf64");
    if (commonpf64 != table.end())
        ExpandOne(result, commonpf64->first, commonpf64->second);
    return CString(std::move(result));
}

CString CreateFreshTempFolder()
{
    wchar_t tempPath[MAX_PATH] = {};
    DWORD length = GetTempPathW(MAX_PATH, tempPath);
    if (length == 0 || length >= MAX_PATH)
        return CString();

    // The folder is made directly under a name nobody holds: CreateDirectoryW fails when
    // anything of that name exists, so no other process can slip its own folder or
    // link in, and the elevated wizard only ever runs installers from a folder it made,
    // which only its user, the administrators and the system may change.
    for (int attempt = 0; attempt < 200; ++attempt) {
        wchar_t name[MAX_PATH] = {};
        if (!GetTempFileNameW(tempPath, L"ISV", RandomUnique(), name))
            return CString();
        if (CreatePrivateFolder(name))
            return CString(name);
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED)
            return CString();
    }
    return CString();
}

CString GetKnownFolder(REFKNOWNFOLDERID id, bool defaultUser)
{
    win32::unique_cotaskmem_string path;
    HANDLE token = defaultUser ? reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-1)) : nullptr;
    HRESULT hr = SHGetKnownFolderPath(id, 0, token, path.put());
    if (FAILED(hr) || !path)
        return CString();
    return CString(path.get());
}

std::vector<CString> SplitText(const CString& text, wchar_t separator)
{
    std::vector<CString> pieces;
    const std::wstring& source = text.str();
    size_t start = 0;
    for (;;) {
        size_t hit = source.find(separator, start);
        if (hit == std::wstring::npos)
            break;
        pieces.emplace_back(source.substr(start, hit - start));
        start = hit + 1;
    }
    // The text after the last separator counts only when it is not empty.
    if (start < source.size())
        pieces.emplace_back(source.substr(start));
    return pieces;
}

CString ToLowerText(const CString& text)
{
    std::wstring lower = text.str();
    for (auto& ch : lower)
        ch = static_cast<wchar_t>(towlower(ch));
    return CString(std::move(lower));
}

std::vector<int> ParseVersion(const CString& text)
{
    std::vector<int> numbers;
    for (const CString& piece : SplitText(text, L'.')) {
        if (!piece.IsEmpty())
            numbers.push_back(_wtoi(piece));
    }
    return numbers;
}
