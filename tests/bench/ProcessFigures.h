// What the download benchmark's programs report about their own process.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstddef>

// The working set now, in KiB: what the process holds before its download starts.
inline size_t WorkingSetKib()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters)))
        return 0;
    return counters.WorkingSetSize / 1024;
}

// User and kernel time of this process so far.
inline double ProcessCpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& time) {
        return double((static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}
