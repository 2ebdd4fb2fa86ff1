#include "install/DownloadSupport.h"

#include "install/DownloadManager.h"
#include "install/PayloadDigest.h"
#include "shell/WindowMessages.h"


namespace download {

void FailWithCode(const wchar_t* format, DWORD code)
{
    CString text;
    text.Format(format, static_cast<int>(code), DownloadManager::SystemErrorText(code).GetString());
    throw DownloadError(text);
}

void Fail(const CString& text)
{
    throw DownloadError(text);
}

namespace {

// A path the file functions take at any length: with the "\\?\" prefix once it no
// longer fits in MAX_PATH.
CString ExtendedLengthPath(const CString& path)
{
    if (path.GetLength() < MAX_PATH || path.Left(4) == L"\\\\?\\")
        return path;
    if (path.Left(2) == L"\\\\")
        return L"\\\\?\\UNC\\" + path.Mid(2);
    return L"\\\\?\\" + path;
}

} // namespace

void TargetFile::Open(const CString& path)
{
    Discard();
    if (path.IsEmpty()) {
        m_openError = ERROR_PATH_NOT_FOUND;
        return;
    }
    m_path = path;
    m_partPath = ExtendedLengthPath(path + L".part");
    // Shared with nobody: no other writer mixes its bytes in, and a part file left by a
    // run that was killed is simply written over.
    m_file.reset(CreateFileW(m_partPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file) {
        m_openError = GetLastError();
        m_partPath.Empty();
    }
}

void TargetFile::Commit(const std::string& expectedSha256)
{
    Close();
    if (m_partPath.IsEmpty())
        Fail(L"Failed to open downloaded file.");
    // Checked before the file takes its name: a file that is not the one the server
    // meant never stands where it would be kept or run.
    const CString mismatch = CheckSha256(m_partPath, expectedSha256);
    if (!mismatch.IsEmpty()) {
        Discard();
        Fail(mismatch);
    }
    if (!MoveFileExW(m_partPath, ExtendedLengthPath(m_path), MOVEFILE_REPLACE_EXISTING))
        FailWithCode(L"Failed to save downloaded file: %d - %s", GetLastError());
    m_partPath.Empty();
}

void TargetFile::Discard()
{
    Close();
    if (!m_partPath.IsEmpty())
        DeleteFileW(m_partPath);
    m_partPath.Empty();
}

void TargetFile::Write(const void* data, DWORD size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(m_file.get(), bytes, size, &written, nullptr) || written == 0)
            FailWithCode(L"Failed to write file: %d - %s", GetLastError());
        bytes += written;
        size -= written;
    }
}

bool ReadFileSize(const CString& path, uint64_t& size)
{
    win32::unique_hfile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER value = {};
    if (!file || !GetFileSizeEx(file.get(), &value))
        return false;
    size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

CString IncompleteMessage(uint64_t announced, uint64_t written)
{
    CString text;
    text.Format(L"Download was incomplete: content length: %llu, downloaded: %llu",
                static_cast<unsigned long long>(announced), static_cast<unsigned long long>(written));
    return text;
}

void ProgressReporter::Advance(uint64_t bytes)
{
    if (m_unbounded || !m_window)
        return;
    if (!m_lengthKnown || m_length == 0) {
        // The share of an unknown total is unbounded: one message past 100 (the page's
        // marquee), then silence. 101 reads as "past 100" however the page casts it.
        m_unbounded = true;
        PostMessageW(m_window, WM_DOWNLOAD_PROGRESS, 101, 0);
        return;
    }
    m_fraction += static_cast<double>(bytes) / static_cast<double>(m_length);
    if (m_fraction - m_lastReported > 0.01) {
        PostMessageW(m_window, WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(static_cast<uint64_t>(m_fraction * 100.0)), 0);
        m_lastReported = m_fraction;
    }
}

void ProgressReporter::Finish()
{
    if (m_window && m_lengthKnown && m_length != 0)
        PostMessageW(m_window, WM_DOWNLOAD_PROGRESS, 1, 0);
}

void PostLengthUnavailable(HWND window)
{
    PostMessageW(window, WM_DOWNLOAD_LENGTH_UNAVAILABLE, 0, 0);
}

} // namespace download
