#include "install/DownloadManager.h"

#include "config/ConfigurationManager.h"
#include "framework/Afx.h"
#include "install/DownloadSupport.h"
#include "install/DownloadTarget.h"
#include "net/WinHttpSupport.h"
#include "win32/ProcessWide.h"
#include "win32/SystemErrorText.h"
#include "win32/WinHttpHandle.h"

#include <process.h>
#include <shlwapi.h>

#include <new>
#include <system_error>

using download::DownloadError;
using download::Fail;
using download::FailWithCode;

namespace {

win32::ProcessWide<DownloadManager> g_downloadManager;

constexpr int kMaxRedirects = 5;

// How one kind of transfer talks to WinHTTP.
struct WinHttpSettings {
    const wchar_t* userAgent;
    DWORD accessType;
    DWORD requestFlags;
};

// The address being fetched and the redirects followed to reach it.
struct RedirectState {
    CString url;
    int redirects = 0;
};

// A request whose response has arrived with a status of 200 .. 299.
struct OpenedResponse {
    win32::unique_winhttp session;
    win32::unique_winhttp connection;
    win32::unique_winhttp request;

    void Close()
    {
        request.reset();
        connection.reset();
        session.reset();
    }
};

DWORD QueryStatusCode(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return 0;
    return status;
}

// A header read whole, whatever its length; false when the response does not carry it.
bool QueryHeaderText(HINTERNET request, DWORD query, CString& value)
{
    DWORD size = 0;
    WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return false;
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, &buffer[0], &size,
                             WINHTTP_NO_HEADER_INDEX))
        return false;
    buffer.resize(size / sizeof(wchar_t));
    value = CString(std::move(buffer));
    return true;
}

// The announced body length, read as a decimal number of any size.
bool QueryContentLength(HINTERNET request, uint64_t& length)
{
    CString text;
    if (!QueryHeaderText(request, WINHTTP_QUERY_CONTENT_LENGTH, text))
        return false;
    text.Trim();
    if (text.IsEmpty() || text.GetLength() > 19)
        return false;
    uint64_t value = 0;
    for (wchar_t ch : text.str()) {
        if (ch < L'0' || ch > L'9')
            return false;
        value = value * 10 + static_cast<uint64_t>(ch - L'0');
    }
    length = value;
    return true;
}

// A Location value made absolute against the address that answered with it.
CString ResolveLocation(const CString& base, const CString& location)
{
    DWORD size = static_cast<DWORD>(base.GetLength() + location.GetLength() + 64);
    std::wstring buffer(size, L'\0');
    HRESULT hr = UrlCombineW(base, location, &buffer[0], &size, URL_ESCAPE_SPACES_ONLY);
    if (hr == E_POINTER) {
        buffer.assign(size + 1, L'\0');
        hr = UrlCombineW(base, location, &buffer[0], &size, URL_ESCAPE_SPACES_ONLY);
    }
    if (FAILED(hr))
        return location;
    buffer.resize(size);
    return CString(std::move(buffer));
}

// Sends GET for state.url and follows redirects (at most five) until a response with
// a 2xx status has arrived; throws DownloadError otherwise.
void OpenResponse(RedirectState& state, const WinHttpSettings& settings, OpenedResponse& response)
{
    for (;;) {
        response.Close();
        response.session.reset(
            WinHttpOpen(settings.userAgent, settings.accessType, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        if (!response.session)
            FailWithCode(L"Failed to open HTTP session: %d - %s", GetLastError());

        DWORD protocols = WinHttpSecureProtocols();
        if (!WinHttpSetOption(response.session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols)))
            FailWithCode(L"Failed to set secure protocols: %d - %s", GetLastError());

        // An address that cannot be split leaves no host, and the connection fails.
        UrlParts parts;
        SplitUrl(state.url.str(), parts);
        response.connection.reset(WinHttpConnect(response.session.get(), parts.host.c_str(), parts.port, 0));
        if (!response.connection)
            FailWithCode(L"Failed to connect: %d - %s", GetLastError());

        // Path and query: everything from the start of the path to the end of the address.
        const std::wstring object = parts.path + parts.extraInfo;
        DWORD flags = settings.requestFlags | (parts.scheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0);
        response.request.reset(WinHttpOpenRequest(response.connection.get(), L"GET",
                                                  object.empty() ? nullptr : object.c_str(), nullptr,
                                                  WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
        if (!response.request)
            FailWithCode(L"Failed to open request: %d - %s", GetLastError());

        // Redirects are counted and followed here, not by WinHTTP.
        DWORD disable = WINHTTP_DISABLE_REDIRECTS;
        WinHttpSetOption(response.request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof(disable));

        if (!WinHttpSendRequest(response.request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                                0, 0))
            FailWithCode(L"Failed to send request: %d - %s", GetLastError());
        if (!WinHttpReceiveResponse(response.request.get(), nullptr))
            FailWithCode(L"Failed to receive response: %d - %s", GetLastError());

        DWORD status = QueryStatusCode(response.request.get());
        CString location;
        if (status >= 300 && status <= 399 &&
            QueryHeaderText(response.request.get(), WINHTTP_QUERY_LOCATION, location)) {
            if (++state.redirects > kMaxRedirects)
                Fail(L"Too many redirects.");
            state.url = ResolveLocation(state.url, location);
            continue;
        }
        if (status < 200 || status > 299) {
            CString text;
            text.Format(L"Server returned status code: %d", static_cast<int>(status));
            Fail(L"Download failed: " + text);
        }
        return;
    }
}

// Reads the body chunk by chunk, as much as WinHTTP has ready each time, and hands
// each chunk to sink. The cancel flag is tested before every chunk.
template <typename Sink>
void ReadBody(HINTERNET request, const std::atomic<bool>& cancel, Sink&& sink)
{
    std::vector<char> buffer;
    for (;;) {
        if (cancel)
            Fail(L"Download cancelled.");
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available))
            FailWithCode(L"Failed to query data: %d - %s", GetLastError());
        if (available == 0)
            break;
        if (buffer.size() < static_cast<size_t>(available) + 1) {
            try {
                buffer.resize(static_cast<size_t>(available) + 1);
            } catch (const std::bad_alloc&) {
                Fail(L"Out of memory.");
            }
        }
        DWORD read = 0;
        if (!WinHttpReadData(request, buffer.data(), available, &read))
            FailWithCode(L"Failed to read data: %d - %s", GetLastError());
        sink(buffer.data(), read);
    }
}

// Sleeps for the pause, waking early when the download is cancelled.
void PauseUnlessCancelled(DWORD milliseconds, const std::atomic<bool>& cancel)
{
    const ULONGLONG end = GetTickCount64() + milliseconds;
    while (!cancel) {
        ULONGLONG now = GetTickCount64();
        if (now >= end)
            break;
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)));
    }
}

struct MemoryDownloadRecord {
    std::shared_ptr<DownloadManager> manager;
    CString url;
    std::function<void(std::unique_ptr<std::vector<char>>)> onDone;
};

unsigned __stdcall MemoryDownloadThread(void* parameter)
{
    std::unique_ptr<MemoryDownloadRecord> record(static_cast<MemoryDownloadRecord*>(parameter));
    try {
        auto data = record->manager->ReadToMemory(record->url);
        if (record->manager->m_cancel)
            record->onDone(nullptr);
        else
            record->onDone(std::move(data));
    } catch (...) {
        // The callback's own failure ends only this thread.
    }
    return 0;
}

} // namespace

std::shared_ptr<DownloadManager> DownloadManager::GetInstance()
{
    return g_downloadManager.Get([] { return std::make_shared<DownloadManager>(); });
}

DownloadManager::~DownloadManager()
{
    m_cancel = true;
}

CString DownloadManager::SystemErrorText(DWORD code)
{
    return CString(win32::SystemErrorText(code));
}

CString DownloadManager::TargetFolder(bool toWorkingFolder) const
{
    auto configuration = ConfigurationManager::GetInstance();
    return toWorkingFolder ? configuration->workingFolder : configuration->downloadFolder;
}

CString DownloadManager::TargetPathFromUrl(const CString& url, bool toWorkingFolder)
{
    CString folder = TargetFolder(toWorkingFolder);
    if (!PathIsDirectoryW(folder)) {
        MessageBoxW(nullptr, L"Invalid path", AfxGetAppName(), MB_OK);
        return CString();
    }
    return JoinInFolder(folder, FileNameFromUrl(url));
}

CString DownloadManager::TargetPathFromName(const CString& fileName, bool toWorkingFolder)
{
    CString folder = TargetFolder(toWorkingFolder);
    if (!PathIsDirectoryW(folder)) {
        MessageBoxW(nullptr, L"Invalid path", AfxGetAppName(), MB_OK);
        return CString();
    }
    return JoinInFolder(folder, SafeFileName(fileName));
}

CString DownloadManager::TargetPath(const CString& url, const CString& fileName, bool toWorkingFolder)
{
    return fileName.IsEmpty() ? TargetPathFromUrl(url, toWorkingFolder) : TargetPathFromName(fileName, toWorkingFolder);
}

std::pair<bool, CString> DownloadManager::Download(const CString& url, HWND hwnd, const CString& fileName,
                                                   bool toWorkingFolder, const std::string& sha256)
{
    std::pair<bool, CString> result(false, CString());
    CString path;
    try {
        path = TargetPath(url, fileName, toWorkingFolder);
        result = download::RunUnlessCancelled<std::pair<bool, CString>>(
            [this, url, hwnd, path, sha256] { return DownloadWithWinHttp(url, hwnd, path, sha256); }, m_cancel,
            {false, L"[WINHTTP] Download cancelled."}, weak_from_this().lock());
        if (result.first) {
            m_lastFilePath = path;
            return result;
        }

        // A cancelled download ends here for good; otherwise the second way tries again.
        // Each way removes its own unfinished file: what stands under the target's name
        // was not touched.
        PauseUnlessCancelled(m_fallbackPauseMs, m_cancel);
        if (!m_cancel) {
            auto second = DownloadWithWinInet(url, hwnd, fileName, toWorkingFolder, sha256);
            if (second.first) {
                result.first = true;
                return result;
            }
            result.second += second.second;
        }
    } catch (...) {
        result.first = false;
        if (result.second.IsEmpty())
            result.second = L"[WINHTTP] Out of memory.";
    }
    return result;
}

std::pair<bool, CString> DownloadManager::DownloadWithWinHttp(const CString& url, HWND hwnd, const CString& path,
                                                              const std::string& sha256)
{
    download::TargetFile file;
    try {
        const WinHttpSettings settings = {nullptr, WinHttpAccessType(), 0};
        RedirectState state{url, 0};
        OpenedResponse response;
        OpenResponse(state, settings, response);

        uint64_t length = 0;
        const bool lengthKnown = QueryContentLength(response.request.get(), length);
        if (!lengthKnown && hwnd)
            download::PostLengthUnavailable(hwnd);
        file.Open(path);
        if (!file.IsOpen())
            FailWithCode(L"Failed to open file for writing: %d - %s", file.OpenError());

        download::ProgressReporter progress(hwnd, lengthKnown, length);
        ReadBody(response.request.get(), m_cancel, [&](const char* data, DWORD size) {
            file.Write(data, size);
            progress.Advance(size);
        });
        file.Close();

        if (lengthKnown) {
            uint64_t size = 0;
            if (!download::ReadFileSize(file.PartPath(), size))
                Fail(L"Failed to open downloaded file.");
            if (size != length)
                Fail(download::IncompleteMessage(length, size));
        }
        file.Commit(sha256);
        progress.Finish();
        return {true, CString()};
    } catch (const DownloadError& error) {
        // The unfinished file goes with `file`, also when this transfer was left behind
        // by a cancel and nobody waits for it any more.
        return {false, L"[WINHTTP] " + error.Text()};
    } catch (...) {
        return {false, L"[WINHTTP] Out of memory."};
    }
}

std::unique_ptr<std::vector<char>> DownloadManager::DownloadToMemory(const CString& url)
{
    return download::RunUnlessCancelled<std::unique_ptr<std::vector<char>>>(
        [this, url] { return ReadToMemory(url); }, m_cancel, std::make_unique<std::vector<char>>(),
        weak_from_this().lock());
}

std::unique_ptr<std::vector<char>> DownloadManager::ReadToMemory(const CString& url)
{
    auto data = std::make_unique<std::vector<char>>();
    const WinHttpSettings settings = {L"A WinHTTP Example Program/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                      WINHTTP_FLAG_REFRESH};
    // Both attempts share the address reached and the redirects counted so far.
    RedirectState state{url, 0};
    bool tooLarge = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            OpenedResponse response;
            OpenResponse(state, settings, response);
            ReadBody(response.request.get(), m_cancel, [&](const char* bytes, DWORD size) {
                // Nothing fetched into memory (pictures) comes near the bound; a server
                // that sends without end must not fill the elevated process's memory.
                if (data->size() + size > MaxMemoryDownloadBytes) {
                    tooLarge = true;
                    Fail(L"Too large.");
                }
                try {
                    data->insert(data->end(), bytes, bytes + size);
                } catch (const std::bad_alloc&) {
                    Fail(L"Out of memory.");
                }
            });
            return data;
        } catch (const DownloadError&) {
            data->clear();
            if (m_cancel || tooLarge)
                break;
        } catch (...) {
            data->clear();
        }
    }
    return data;
}

void DownloadManager::DownloadToMemoryAsync(const CString& url,
                                            std::function<void(std::unique_ptr<std::vector<char>>)> onDone)
{
    auto record = std::make_unique<MemoryDownloadRecord>();
    record->manager = shared_from_this();
    record->url = url;
    record->onDone = std::move(onDone);
    uintptr_t thread = _beginthreadex(nullptr, 0, MemoryDownloadThread, record.get(), 0, nullptr);
    if (thread == 0)
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    record.release();
    // Detached: the thread owns the record and ends on its own.
    win32::unique_handle detached(reinterpret_cast<HANDLE>(thread));
}
