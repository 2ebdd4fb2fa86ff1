// The download manager's side of the benchmark: one file download into a folder,
// progress posted to a window of this thread as the download pages receive it.
//   bench_download_manager URL FOLDER
// Prints the bytes written, the seconds the download took, the progress messages the
// page received, the CPU seconds the download used and the working set (KiB) when the
// download started.
#include "config/ConfigurationManager.h"
#include "install/DownloadManager.h"
#include "tests/bench/ProcessFigures.h"

#include <cstdio>
#include <future>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3)
        return 2;
    auto configuration = ConfigurationManager::GetInstance();
    configuration->workingFolder = argv[2];
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    auto manager = DownloadManager::GetInstance();

    const size_t startKib = WorkingSetKib();
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const double cpuStart = ProcessCpuSeconds();
    auto future = std::async(std::launch::async, [&] { return manager->Download(argv[1], window, CString(), true); });
    // The page's side: take the progress messages while the worker downloads.
    unsigned messages = 0;
    while (future.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            ++messages;
    }
    auto result = future.get();
    QueryPerformanceCounter(&end);
    if (!result.first) {
        fprintf(stderr, "%s\n", ToAnsi(result.second).c_str());
        return 1;
    }
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(manager->m_lastFilePath, GetFileExInfoStandard, &data);
    unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    printf("%llu %.6f %u %.3f %zu\n", size, double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart),
           messages, ProcessCpuSeconds() - cpuStart, startKib);
    if (window)
        DestroyWindow(window);
    return 0;
}
