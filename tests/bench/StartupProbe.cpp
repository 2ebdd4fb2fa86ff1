// The start-up benchmark's launcher: starts a program ROUNDS times and measures, from
// outside, the time from CreateProcess to its first page painted: a visible top-level
// window of the process (with a visible child dialog when --page is given), the
// process idle in its message loop (WaitForInputIdle and an answered WM_NULL), and no
// part of that window or its visible children waiting to be painted. The process is
// ended after each round. The programs take turns.
//   bench_startup ROUNDS [--page] PROGRAM [[--page] PROGRAM ...]
// Prints one line per program with the milliseconds of every round: "ms ms ms ...".
#include "win32/UniqueProcessInformation.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
    DWORD pid;
    bool needPage;
    HWND found;
};

bool HasVisibleDialogChild(HWND window)
{
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[16] = {};
        GetClassNameW(child, name, 16);
        if (IsWindowVisible(child) && lstrcmpW(name, L"#32770") == 0)
            return true;
    }
    return false;
}

HWND VisibleWindowOf(DWORD pid, bool needPage)
{
    Search search{pid, needPage, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->pid || !IsWindowVisible(window))
                return TRUE;
            if (s->needPage && !HasVisibleDialogChild(window))
                return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// True while the window or one of its visible descendants has a region to paint.
bool WaitsForPaint(HWND window)
{
    if (GetUpdateRect(window, nullptr, FALSE))
        return true;
    bool waiting = false;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM param) -> BOOL {
            if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
                *reinterpret_cast<bool*>(param) = true;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&waiting));
    return waiting;
}

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

// One start; the milliseconds to the first painted page, or a negative number.
double MeasureOnce(const std::wstring& program, bool needPage)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    win32::unique_process_information process;
    const double start = Now();
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        process.put()))
        return -1;
    double painted = -1;
    const double limit = start + 30000;
    WaitForInputIdle(process.process(), 30000);
    while (Now() < limit) {
        HWND window = VisibleWindowOf(process.processId(), needPage);
        DWORD_PTR answer = 0;
        if (window && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer) &&
            !WaitsForPaint(window)) {
            painted = Now() - start;
            break;
        }
        Sleep(1);
    }
    TerminateProcess(process.process(), 0);
    WaitForSingleObject(process.process(), 10000);
    return painted;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    const int rounds = _wtoi(argv[1]);
    struct Program {
        std::wstring path;
        bool needPage;
        std::vector<double> times;
    };
    std::vector<Program> programs;
    for (int i = 2; i < argc; ++i) {
        const bool page = lstrcmpW(argv[i], L"--page") == 0;
        if (page && ++i >= argc)
            return 2;
        programs.push_back({argv[i], page, {}});
    }
    // One start of each first, not counted: the files come into the cache. Then the
    // programs take turns, so that what else the machine does falls on all of them alike.
    for (int round = -1; round < rounds; ++round) {
        for (auto& program : programs) {
            const double ms = MeasureOnce(program.path, program.needPage);
            if (ms < 0) {
                fprintf(stderr, "%ls: no painted window within 30 s\n", program.path.c_str());
                return 1;
            }
            if (round >= 0)
                program.times.push_back(ms);
            // Let the ended process's windows and the desktop settle before the next start.
            Sleep(300);
        }
    }
    for (const auto& program : programs) {
        for (double ms : program.times)
            printf("%.1f ", ms);
        printf("\n");
    }
    return 0;
}
