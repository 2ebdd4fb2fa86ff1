#include "install/DownloadTarget.h"

#include "config/ConfigurationManager.h"
#include "config/SystemFacts.h"
#include "win32/TextConversion.h"

#include <shlwapi.h>

#include <algorithm>

#include <string>

const wchar_t* const kFallbackFileName = L"download.bin";

namespace {

int HexValue(wchar_t ch)
{
    if (ch >= L'0' && ch <= L'9')
        return ch - L'0';
    if (ch >= L'a' && ch <= L'f')
        return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F')
        return ch - L'A' + 10;
    return -1;
}

// %XX escapes decoded once, the bytes read as UTF-8; text that does not decode to
// valid UTF-8 is kept as it came.
CString PercentDecode(const CString& text)
{
    if (text.Find(L'%') < 0)
        return text;
    std::string bytes;
    const std::wstring& in = text.str();
    size_t plainStart = 0;
    // Text between the escapes joins the decoded bytes as UTF-8, a whole run at a time
    // so that surrogate pairs stay together.
    auto appendPlain = [&](size_t end) {
        bytes += win32::ToNarrow(in.data() + plainStart, end - plainStart, CP_UTF8);
    };
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == L'%' && i + 2 < in.size() && HexValue(in[i + 1]) >= 0 && HexValue(in[i + 2]) >= 0) {
            appendPlain(i);
            bytes += static_cast<char>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2]));
            i += 2;
            plainStart = i + 1;
        }
    }
    appendPlain(in.size());
    std::wstring out;
    if (!win32::ToWideStrict(bytes.data(), bytes.size(), CP_UTF8, out) || out.empty())
        return text;
    return CString(std::move(out));
}

} // namespace

bool IsReservedDeviceName(const CString& name)
{
    // Devices keep their meaning with any extension (nul.exe is NUL) and with trailing blanks.
    CString stem = name;
    int dot = stem.Find(L'.');
    if (dot >= 0)
        stem = stem.Left(dot);
    stem.TrimRight(L" ");
    stem.MakeUpper();
    static const wchar_t* const plain[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : plain) {
        if (stem == device)
            return true;
    }
    if (stem.GetLength() == 4 && (stem.Left(3) == L"COM" || stem.Left(3) == L"LPT")) {
        wchar_t digit = stem[3];
        // COM0/LPT0 and the superscript digits are devices too.
        return (digit >= L'0' && digit <= L'9') || digit == L'\x00B9' || digit == L'\x00B2' || digit == L'\x00B3';
    }
    return false;
}

CString SafeFileName(const CString& name)
{
    CString result = name;
    int slash = std::max(result.ReverseFind(L'/'), result.ReverseFind(L'\\'));
    if (slash >= 0)
        result = result.Mid(slash + 1);

    std::wstring cleaned;
    for (wchar_t ch : result.str()) {
        if (ch < 0x20 || ch == 0x7F || wcschr(L"<>:\"|?*", ch))
            cleaned += L'_';
        else
            cleaned += ch;
    }
    result = CString(std::move(cleaned));
    result.TrimRight(L". ");
    result.TrimLeft();
    if (result.IsEmpty() || result == L"." || result == L".." || IsReservedDeviceName(result))
        return CString(kFallbackFileName);
    return result;
}

CString FileNameFromUrl(const CString& url)
{
    CString rest = url;
    int end = rest.Find(L'?');
    int hash = rest.Find(L'#');
    if (hash >= 0 && (end < 0 || hash < end))
        end = hash;
    if (end >= 0)
        rest = rest.Left(end);

    // Skip the scheme and the host: an address without a path has no file name.
    int scheme = rest.Find(L"://");
    if (scheme >= 0) {
        int pathStart = rest.Find(L'/', scheme + 3);
        rest = pathStart >= 0 ? rest.Mid(pathStart) : CString();
    }
    int slash = rest.ReverseFind(L'/');
    CString segment = slash >= 0 ? rest.Mid(slash + 1) : rest;
    return SafeFileName(PercentDecode(segment));
}

CString JoinInFolder(const CString& folder, const CString& name)
{
    if (folder.IsEmpty() || name.IsEmpty() || name.Find(L'\\') >= 0 || name.Find(L'/') >= 0 || name == L".." ||
        name == L".")
        return CString();
    wchar_t buffer[MAX_PATH] = {};
    if (folder.GetLength() >= MAX_PATH)
        return CString();
    wcscpy_s(buffer, folder.GetString());
    if (!PathAppendW(buffer, name))
        return CString();
    CString joined(buffer);

    // The joined path's parent must be the folder itself.
    CString parent = joined;
    int last = parent.ReverseFind(L'\\');
    if (last < 0)
        return CString();
    parent = parent.Left(last);
    CString expected = folder;
    expected.TrimRight(L"\\");
    if (parent.CompareNoCase(expected) != 0 || joined.Mid(last + 1) != name)
        return CString();
    return joined;
}

CString DownloadUrlFor(const CString& value)
{
    if (IsUrl(value))
        return value;
    return ConfigurationManager::GetInstance()->filesBaseUrl + value;
}
