// The second download way, over WinINet. Kept apart from the WinHTTP way: winhttp.h
// and wininet.h cannot share a translation unit.
#include "install/DownloadManager.h"
#include "install/DownloadSupport.h"
#include "win32/WinInetHandle.h"

using download::DownloadError;
using download::Fail;
using download::FailWithCode;

namespace {

bool QueryContentLength(HINTERNET request, uint64_t& length)
{
    wchar_t text[32] = {};
    DWORD size = sizeof(text);
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
        return false;
    uint64_t value = 0;
    int digits = 0;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L' ')
            continue;
        if (*p < L'0' || *p > L'9' || ++digits > 19)
            return false;
        value = value * 10 + static_cast<uint64_t>(*p - L'0');
    }
    if (digits == 0)
        return false;
    length = value;
    return true;
}

} // namespace

std::pair<bool, CString> DownloadManager::DownloadWithWinInet(const CString& url, HWND hwnd, const CString& fileName,
                                                              bool toWorkingFolder, const std::string& sha256)
{
    try {
        const CString path = TargetPath(url, fileName, toWorkingFolder);
        auto result = download::RunUnlessCancelled<std::pair<bool, CString>>(
            [this, url, hwnd, path, sha256] { return TransferWithWinInet(url, hwnd, path, sha256); }, m_cancel,
            {false, L" [WININET] Download cancelled."}, weak_from_this().lock());
        if (result.first)
            m_lastFilePath = path;
        return result;
    } catch (...) {
        return {false, L" [WININET] Out of memory."};
    }
}

std::pair<bool, CString> DownloadManager::TransferWithWinInet(const CString& url, HWND hwnd, const CString& path,
                                                              const std::string& sha256)
{
    try {
        download::TargetFile file;
        try {
            win32::unique_hinternet session(InternetOpenW(L"", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
            if (!session)
                FailWithCode(L"Failed to initialize WinINet:: %d - %s", GetLastError());
            // WinINet follows redirects itself. The body is not kept in its cache.
            win32::unique_hinternet request(InternetOpenUrlW(session.get(), url, nullptr, 0,
                                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
            if (!request)
                FailWithCode(L"Failed to open URL:: %d - %s", GetLastError());

            DWORD status = 0;
            DWORD size = sizeof(status);
            if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                                nullptr))
                FailWithCode(L"Failed to query HTTP status code: %d - %s", GetLastError());
            if (status != 200) {
                CString text;
                text.Format(L"Server returned status code: HTTP %d - %s", static_cast<int>(status),
                            SystemErrorText(GetLastError()).GetString());
                Fail(text);
            }

            uint64_t length = 0;
            const bool lengthKnown = QueryContentLength(request.get(), length);
            if (!lengthKnown && hwnd)
                download::PostLengthUnavailable(hwnd);
            file.Open(path);
            if (!file.IsOpen())
                FailWithCode(L"Failed to open file for writing: %d - %s", file.OpenError());

            download::ProgressReporter progress(hwnd, lengthKnown, length);
            char buffer[4096];
            for (;;) {
                if (m_cancel)
                    Fail(L"Download cancelled.");
                DWORD read = 0;
                // A failed read is a failed download, even when no length was announced.
                if (!InternetReadFile(request.get(), buffer, sizeof(buffer), &read))
                    FailWithCode(L"Failed to read data: %d - %s", GetLastError());
                if (read == 0)
                    break;
                file.Write(buffer, read);
                progress.Advance(read);
            }
            file.Close();

            if (lengthKnown) {
                uint64_t written = 0;
                if (!download::ReadFileSize(file.PartPath(), written))
                    FailWithCode(L"Failed to open downloaded file: %d - %s", GetLastError());
                if (written != length)
                    Fail(download::IncompleteMessage(length, written));
            }
            file.Commit(sha256);
            progress.Finish();
            return {true, CString()};
        } catch (const DownloadError& error) {
            // The unfinished file goes with `file`.
            return {false, L" [WININET] " + error.Text()};
        }
    } catch (...) {
        return {false, L" [WININET] Out of memory."};
    }
}
