#include "DownloadFixtures.h"

#include "shell/WindowMessages.h"

#include <cstdlib>

namespace testing_support {

NginxFiles::NginxFiles()
{
    const char* root = getenv("ORVANE_NGINX_ROOT");
    const char* http = getenv("ORVANE_NGINX_HTTP_PORT");
    const char* https = getenv("ORVANE_NGINX_HTTPS_PORT");
    if (!root || !http || !https)
        return;
    // Wine maps the Linux root to drive Z:.
    m_root = CString(L"Z:") + CString(root);
    m_root.Replace(L'/', L'\\');
    m_httpPort = http;
    m_httpsPort = https;
}

bool NginxFiles::Put(const std::string& relative, const std::string& bytes) const
{
    CString path = m_root;
    CString rest(relative.c_str());
    rest.Replace(L'/', L'\\');
    // Make the folders on the way.
    for (int slash = rest.Find(L'\\'); slash >= 0; slash = rest.Find(L'\\', slash + 1))
        CreateDirectoryW(path + L"\\" + rest.Left(slash), nullptr);
    return WriteFileBytes(path + L"\\" + rest, bytes);
}

CString NginxFiles::Http(const std::string& path) const
{
    return CString(("http://127.0.0.1:" + m_httpPort + "/" + path).c_str());
}

CString NginxFiles::Https(const std::string& path) const
{
    return CString(("https://localhost:" + m_httpsPort + "/" + path).c_str());
}

ProgressWindow::ProgressWindow()
{
    m_window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

ProgressWindow::~ProgressWindow()
{
    if (m_window)
        DestroyWindow(m_window);
}

std::vector<std::pair<UINT, WPARAM>> ProgressWindow::Drain()
{
    std::vector<std::pair<UINT, WPARAM>> messages;
    MSG msg;
    while (PeekMessageW(&msg, m_window, WM_DOWNLOAD_PROGRESS, WM_DOWNLOAD_LENGTH_UNAVAILABLE, PM_REMOVE))
        messages.emplace_back(msg.message, msg.wParam);
    return messages;
}

std::string PatternBytes(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    unsigned value = seed;
    for (size_t i = 0; i < size; ++i) {
        value = value * 1103515245u + 12345u;
        bytes[i] = static_cast<char>(value >> 16);
    }
    return bytes;
}

} // namespace testing_support
