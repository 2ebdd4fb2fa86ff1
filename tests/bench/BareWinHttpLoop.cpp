// The benchmark's baseline: the least a WinHTTP download can do. Opens, sends,
// receives, reads until done and writes each chunk to the file.
//   bench_winhttp_loop URL OUTPUT [--protocols HEX] [--window] [--thread]
// --protocols sets WINHTTP_OPTION_SECURE_PROTOCOLS as the download manager does
// (without it the platform's default applies); --window first creates a message window
// as the download manager's caller has one; --thread transfers on a thread of its own,
// as the download manager does. Each tells what such a difference costs.
// Prints the bytes read, the seconds the transfer took, the CPU seconds it used and the
// working set (KiB) when the transfer started.
#include "tests/bench/ProcessFigures.h"
#include "win32/WinHttpHandle.h"

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    DWORD protocols = 0;
    HWND window = nullptr;
    bool onThread = false;
    for (int i = 3; i < argc; ++i) {
        if (lstrcmpW(argv[i], L"--protocols") == 0 && i + 1 < argc)
            protocols = wcstoul(argv[++i], nullptr, 16);
        else if (lstrcmpW(argv[i], L"--thread") == 0)
            onThread = true;
        else if (lstrcmpW(argv[i], L"--window") == 0)
            window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        else
            return 2;
    }
    const size_t startKib = WorkingSetKib();
    // The transfer, on this thread or (--thread) on one of its own as the download
    // manager runs it.
    auto transfer = [&]() -> int {
        URL_COMPONENTS parts = {};
        parts.dwStructSize = sizeof(parts);
        parts.dwHostNameLength = static_cast<DWORD>(-1);
        parts.dwUrlPathLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(argv[1], 0, 0, &parts))
            return 3;
        std::wstring host(parts.lpszHostName, parts.dwHostNameLength);

        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        const double cpuStart = ProcessCpuSeconds();

        win32::unique_winhttp session(WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                                  WINHTTP_NO_PROXY_BYPASS, 0));
        if (protocols && session) {
            WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols));
        }
        win32::unique_winhttp connection(session ? WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0)
                                                 : nullptr);
        win32::unique_winhttp request(
            connection ? WinHttpOpenRequest(connection.get(), L"GET", parts.lpszUrlPath, nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                       : nullptr);
        if (!request || !WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) ||
            !WinHttpReceiveResponse(request.get(), nullptr))
            return 4;

        win32::unique_hfile file(
            CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            return 5;
        std::vector<char> buffer;
        unsigned long long total = 0;
        for (;;) {
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(request.get(), &available))
                return 6;
            if (available == 0)
                break;
            if (buffer.size() < available)
                buffer.resize(available);
            DWORD read = 0;
            if (!WinHttpReadData(request.get(), buffer.data(), available, &read))
                return 7;
            DWORD written = 0;
            WriteFile(file.get(), buffer.data(), read, &written, nullptr);
            total += read;
        }
        file.reset();
        QueryPerformanceCounter(&end);
        printf("%llu %.6f - %.3f %zu\n", total, double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart),
               ProcessCpuSeconds() - cpuStart, startKib);
        return 0;
    };
    int code = 0;
    if (onThread)
        std::thread([&] { code = transfer(); }).join();
    else
        code = transfer();
    if (code != 0)
        return code;
    if (window)
        DestroyWindow(window);
    return 0;
}
