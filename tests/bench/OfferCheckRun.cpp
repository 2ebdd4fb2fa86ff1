// The offer checks' side of scripts/bench.sh: one configuration load of 50
// offers, each naming 40 registry paths below the same software keys plus lists of
// files, programs and App Paths names, evaluated by one checker. Every offer passes,
// so every check runs in full. The machine state is written first and removed after.
// When the content host answers, the same offers are then loaded for real: the
// loading page asks the host for the catalog, checks the offers and fetches their
// pictures until it hands them on (onPackagesReady).
//   bench_offer_checks [ROUNDS [PICTURE_SERVER]]
// PICTURE_SERVER (an https address without the closing "/") serves notes.png too: the
// pictures are then also fetched from there.
// Prints the time per offer and how often the checker went to the machine, then the
// real loads.
#include "config/ConfigurationManager.h"
#include "framework/CWinApp.h"
#include "install/DownloadManager.h"
#include "locale/LanguageManager.h"
#include "net/ApiManager.h"
#include "net/CommonEventData.h"
#include "offers/LoadingPage.h"
#include "offers/OfferChecker.h"
#include "offers/Package.h"
#include "tests/common/ContentHostControl.h"
#include "win32/GdiplusSession.h"
#include "win32/UniqueResource.h"

#include <commctrl.h>
#include <process.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

using nlohmann::json;

namespace {

const int kOffers = 50;
const int kPathsPerOffer = 40;
const wchar_t* const kAppPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

struct MadeKey {
    HKEY root;
    std::wstring path;
    REGSAM view;
};
std::vector<MadeKey> g_madeKeys;

void MakeKey(HKEY root, const std::wstring& path, REGSAM view, const wchar_t* valueName = nullptr,
             const std::wstring& value = std::wstring())
{
    win32::unique_hkey key;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return;
    g_madeKeys.push_back({root, path, view});
    if (valueName)
        RegSetValueExW(key.get(), valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void RemoveMadeKeys()
{
    for (auto it = g_madeKeys.rbegin(); it != g_madeKeys.rend(); ++it)
        RegDeleteKeyExW(it->root, it->path.c_str(), it->view, 0);
    g_madeKeys.clear();
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::wstring TempPath(const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

void WriteEmptyFile(const std::wstring& path)
{
    win32::unique_hfile file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The machine: a software key with many vendors in each root and view, of which the
// offers name some; App Paths entries; files.
void PrepareMachine()
{
    for (int i = 0; i < 150; ++i)
        MakeKey(HKEY_LOCAL_MACHINE, L"Software\\OrvaneBenchFiller" + std::to_wstring(i), KEY_WOW64_64KEY);
    for (int i = 0; i < 50; ++i)
        MakeKey(HKEY_LOCAL_MACHINE, L"Software\\OrvaneBenchFiller32_" + std::to_wstring(i), KEY_WOW64_32KEY);
    for (int i = 0; i < 10; ++i) {
        MakeKey(HKEY_LOCAL_MACHINE, L"Software\\OrvaneBench" + std::to_wstring(i), KEY_WOW64_64KEY, L"Edition",
                L"standard");
        MakeKey(HKEY_LOCAL_MACHINE, L"Software\\OrvaneBench32_" + std::to_wstring(i), KEY_WOW64_32KEY);
        MakeKey(HKEY_CURRENT_USER, L"Software\\OrvaneBenchUser" + std::to_wstring(i), KEY_WOW64_64KEY);
    }
    const std::wstring program = TempPath(L"orvane-bench-program.exe");
    WriteEmptyFile(program);
    WriteEmptyFile(TempPath(L"orvane-bench-present.txt"));
    for (int i = 0; i < 3; ++i)
        MakeKey(HKEY_CURRENT_USER, kAppPaths + (L"orvane-bench-tool" + std::to_wstring(i) + L".exe"),
                KEY_WOW64_64KEY, L"", program);
    for (int i = 0; i < 30; ++i)
        MakeKey(HKEY_LOCAL_MACHINE, kAppPaths + (L"orvane-bench-gone" + std::to_wstring(i) + L".exe"),
                KEY_WOW64_32KEY, L"", TempPath(L"orvane-bench-gone.exe"));
}

json OfferMembers(int index)
{
    json keys = json::array();
    for (int j = 0; j < kPathsPerOffer; ++j) {
        const std::string n = std::to_string((index + j) % 10);
        switch (j % 5) {
        case 0: // a vendor that is there, a product that is not: the key is opened
            keys.push_back("orvanebench" + n + "\\product" + std::to_string(j));
            break;
        case 1: // a vendor that is nowhere: answered from the cached names
            keys.push_back("absent-vendor-" + std::to_string(j) + "\\product");
            break;
        case 2:
            keys.push_back("hklm\\software\\wow6432node\\orvanebench32_" + n + "\\product");
            break;
        case 3:
            keys.push_back("hkcu\\software\\orvanebenchuser" + n + "\\product");
            break;
        default:
            keys.push_back("hkey_local_machine\\software\\orvanebenchfiller" + std::to_string(j * 3) + "\\x");
            break;
        }
    }
    json files = json::array();
    for (int j = 0; j < 10; ++j)
        files.push_back(Narrow(TempPath(L"orvane-bench-missing")) + std::to_string(j) + ".txt");
    json processes = json::array();
    for (int j = 0; j < 10; ++j)
        processes.push_back("no-such-program-" + std::to_string(j));
    json blockingApps = json::array();
    for (int j = 0; j < 6; ++j)
        blockingApps.push_back("orvane-bench-gone" + std::to_string((index + j) % 30) + ".exe");

    return {
        {"i", "img/bench.png"}, {"dn", "Bench " + std::to_string(index)}, {"u", "bench.exe"}, {"v", index},
        {"r", keys},
        {"ir", {"orvanebench32_" + std::to_string(index % 10)}},
        {"rvn", {"orvanebench1\\missing-value", "hkcu\\software\\orvanebenchuser2\\missing"}},
        {"rvd", {"orvanebench" + std::to_string(index % 10) + "\\edition\\professional"}},
        {"disk", 1}, {"ram", 1}, {"cpu", 1}, {"ov", 61}, {"pv", "1.0"},
        {"fe", files},
        {"ife", {Narrow(TempPath(L"orvane-bench-missing.txt")), Narrow(TempPath(L"orvane-bench-present.txt"))}},
        {"a", processes},
        {"iapp", {"orvane-bench-tool0.exe", "orvane-bench-tool1.exe", "orvane-bench-tool2.exe"}},
        {"eapp", blockingApps},
        {"cmdu", {{{"utr", "hkey_local_machine"}, {"utk", "software\\orvanebench3"}, {"utvn", "removed"},
                   {"utvt", "REG_DWORD"}, {"umd", 30}}}},
    };
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// What the design allows of App Paths resolutions: one per entry of the index (both
// roots, both views) whose name an offer looks up.
int ResolvableEntries()
{
    std::vector<std::wstring> names;
    for (int i = 0; i < 3; ++i)
        names.push_back(L"orvane-bench-tool" + std::to_wstring(i) + L".exe");
    for (int i = 0; i < 30; ++i)
        names.push_back(L"orvane-bench-gone" + std::to_wstring(i) + L".exe");
    int entries = 0;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_64KEY)}) {
            win32::unique_hkey key;
            if (RegOpenKeyExW(root, kAppPaths, 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
                continue;
            wchar_t name[256];
            for (DWORD index = 0;; ++index) {
                DWORD length = 256;
                if (RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                CharLowerW(name);
                entries += std::find(names.begin(), names.end(), name) != names.end() ? 1 : 0;
            }
        }
    return entries;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

json Catalog()
{
    json offers = json::array();
    for (int i = 0; i < kOffers; ++i)
        offers.push_back({{"ad", {{"f", "bench"}, {"o", "bench-" + std::to_string(i)}}}, {"ps", OfferMembers(i)}});
    for (auto& offer : offers)
        offer["ps"]["i"] = "img/notes.png";
    const std::string files = "https://content.orvane.test/f/";
    return {{"l", "DE"},
            {"f", {{"a", "pub-bench"}, {"m", kOffers}}},
            {"i",
             {{"ct", "Orvane Demo"},
              {"cu", files + "product/OrvaneDemo.exe"},
              {"cl", files + "img/product.png"},
              {"cf", "OrvaneDemo.exe"}}},
            {"o", offers}};
}

// Real loads of the catalog through the loading page, as the wizard runs them; the
// request alone is timed too, so what follows the answer's arrival can be told apart.
void MeasureRealLoads(int rounds, const CString& pictureServer)
{
    testing_support::ContentHostControl host;
    if (!host.Available()) {
        printf("real load: skipped (no content host)\n");
        return;
    }
    host.Reset();
    host.SetScenario({{"config", Catalog()}});

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    AfxInitRichEdit();
    static auto* gdiplus = new win32::GdiplusSession();
    gdiplus->Start();

    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> requests;
    for (int round = 0; round < rounds; ++round) {
        QueryPerformanceCounter(&before);
        ApiManager::GetInstance()->RequestConfiguration();
        QueryPerformanceCounter(&after);
        requests.push_back(Seconds(before, after, frequency));
    }

    // What the pictures alone take: one memory download per offer and the header's, all
    // at once, as the loading page starts them.
    auto fetchPictures = [&](const CString& pictureUrl) {
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            auto left = std::make_shared<std::atomic<int>>(kOffers + 1);
            QueryPerformanceCounter(&before);
            for (int i = 0; i <= kOffers; ++i)
                DownloadManager::GetInstance()->DownloadToMemoryAsync(
                    pictureUrl, [left](std::unique_ptr<std::vector<char>>) { --*left; });
            const ULONGLONG limit = GetTickCount64() + 60000;
            while (*left > 0 && GetTickCount64() < limit)
                Sleep(1);
            if (*left > 0)
                printf("real load: %d of the pictures from %ls did not end within 60 s\n", left->load(),
                       pictureUrl.GetString());
            QueryPerformanceCounter(&after);
            times.push_back(Seconds(before, after, frequency));
        }
        return Median(times);
    };
    const CString hostPicture = ConfigurationManager::GetInstance()->filesBaseUrl + L"img/notes.png";
    const double pictures = fetchPictures(hostPicture);
    // The same fetches from nginx tell how much of that is the test host's.
    const double picturesFromNginx = pictureServer.IsEmpty() ? 0 : fetchPictures(pictureServer + L"/notes.png");
    // One picture at a time on this thread: what a single fetch costs without the others.
    auto fetchOne = [&](const CString& url) {
        std::vector<double> singles;
        for (int i = 0; i < 10; ++i) {
            QueryPerformanceCounter(&before);
            DownloadManager::GetInstance()->DownloadToMemory(url);
            QueryPerformanceCounter(&after);
            singles.push_back(Seconds(before, after, frequency));
        }
        return Median(singles);
    };
    const double single = fetchOne(hostPicture);
    const double singleNginx = pictureServer.IsEmpty() ? 0 : fetchOne(pictureServer + L"/notes.png");
    // Each picture is fetched on a thread of its own; what starting as many empty
    // threads costs here:
    std::vector<double> starts;
    for (int round = 0; round < rounds; ++round) {
        std::vector<HANDLE> threads;
        QueryPerformanceCounter(&before);
        for (int i = 0; i < kOffers + 1; ++i) {
            uintptr_t thread = _beginthreadex(nullptr, 0, [](void*) -> unsigned { return 0; }, nullptr, 0, nullptr);
            if (thread)
                threads.push_back(reinterpret_cast<HANDLE>(thread));
        }
        for (HANDLE thread : threads) {
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
        QueryPerformanceCounter(&after);
        starts.push_back(Seconds(before, after, frequency));
    }
    const double threadStarts = Median(starts);

    HWND window = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 700, 500, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    CWnd parent;
    parent.Attach(window);
    auto texts = std::make_shared<LanguageManager>(nullptr);
    std::vector<double> loads;
    size_t accepted = 0;
    for (int round = 0; round < rounds; ++round) {
        LoadingPage page(texts, &parent);
        page.CreatePage(&parent);
        auto done = std::make_shared<std::atomic<bool>>(false);
        auto count = std::make_shared<std::atomic<size_t>>(0);
        auto readyAt = std::make_shared<LARGE_INTEGER>();
        page.onPackagesReady = [done, count, readyAt](std::vector<std::shared_ptr<Package>> packages) {
            QueryPerformanceCounter(readyAt.get());
            *count = packages.size();
            *done = true;
        };
        QueryPerformanceCounter(&before);
        page.OnNavigateToPage();
        const ULONGLONG limit = GetTickCount64() + 60000;
        while (!*done && GetTickCount64() < limit) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (!*done) {
            printf("real load: no onPackagesReady within 60 s\n");
            break;
        }
        loads.push_back(Seconds(before, *readyAt, frequency));
        accepted = *count;
        page.DestroyWindow();
    }
    parent.Detach();
    DestroyWindow(window);
    if (loads.empty())
        return;
    const double request = Median(requests);
    const double load = Median(loads);
    printf("real load: %zu offers accepted; request alone %.1f ms, navigation to onPackagesReady %.1f ms (medians of %d)\n",
           accepted, request * 1000, load * 1000, rounds);
    printf("real load: the %d pictures alone, fetched at once, %.1f ms; the same from nginx %.1f ms\n", kOffers + 1,
           pictures * 1000, picturesFromNginx * 1000);
    printf("real load: one picture alone %.1f ms (from nginx %.1f ms); %d empty threads started and ended %.1f ms\n",
           single * 1000, singleNginx * 1000, kOffers + 1, threadStarts * 1000);
    printf("REAL %.6f %.6f %zu %.6f %.6f %.6f %.6f %.6f\n", request, load, accepted, pictures, picturesFromNginx, single,
           singleNginx, threadStarts);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 5;
    PrepareMachine();

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> totals;
    std::vector<double> firsts;
    std::vector<double> slowestRest;
    OfferCheckCounts counts;
    int failures = 0;

    for (int round = 0; round < rounds; ++round) {
        // The loading task builds every package before it is evaluated; only the checks are timed.
        std::vector<std::shared_ptr<Package>> packages;
        for (int i = 0; i < kOffers; ++i) {
            const json offer = {{"ad", {{"f", "bench"}, {"o", "bench-" + std::to_string(i)}}}, {"ps", OfferMembers(i)}};
            packages.push_back(std::make_shared<Package>(BuildCommonEventData(), offer, false, std::string(), 0));
        }

        OfferChecker checker(kOffers);
        std::vector<double> times;
        LARGE_INTEGER start, before, after;
        QueryPerformanceCounter(&start);
        for (const auto& package : packages) {
            bool stop = false;
            QueryPerformanceCounter(&before);
            const bool accepted = checker.Evaluate(package, stop);
            QueryPerformanceCounter(&after);
            times.push_back(Seconds(before, after, frequency));
            if (!accepted) {
                ++failures;
                fprintf(stderr, "%s was rejected: %s\n", package->m_offerCode.c_str(), checker.LastReason().c_str());
            }
        }
        totals.push_back(Seconds(start, after, frequency));
        firsts.push_back(times.front());
        slowestRest.push_back(*std::max_element(times.begin() + 1, times.end()));
        counts = checker.Counts();
        for (const auto& package : packages)
            package->WaitForEvents();
    }
    RemoveMadeKeys();
    DeleteFileW(TempPath(L"orvane-bench-program.exe").c_str());
    DeleteFileW(TempPath(L"orvane-bench-present.txt").c_str());
    if (failures)
        return 1;

    std::vector<double> sorted = totals;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    const size_t at = static_cast<size_t>(std::find(totals.begin(), totals.end(), median) - totals.begin());
    printf("%d offers x %d registry paths (plus files, programs, App Paths names) in one load; %d loads, median load:\n",
           kOffers, kPathsPerOffer, rounds);
    printf("  all offers      %8.1f ms   (goal under 500 ms)\n", median * 1000);
    printf("  per offer       %8.2f ms   mean\n", median * 1000 / kOffers);
    printf("  first offer     %8.2f ms   (gathers the machine facts)\n", firsts[at] * 1000);
    printf("  slowest later   %8.2f ms\n", slowestRest[at] * 1000);
    printf("  all loads       ");
    for (double total : totals)
        printf(" %.1f", total * 1000);
    printf(" ms\n");
    printf("per load: subkey enumerations %d (at most 4: two roots, two views), App Paths index builds %d, "
           "App Paths resolutions %d, process snapshots %d, disk/memory/processor queries %d/%d/%d\n",
           counts.subkeyEnumerations, counts.appIndexBuilds, counts.appPathResolutions, counts.processSnapshots,
           counts.diskQueries, counts.memoryQueries, counts.processorQueries);
    // The real loads find the same machine.
    PrepareMachine();
    printf("COUNTS %.6f %d %d %d %d %d %d %d %d\n", median, counts.subkeyEnumerations, counts.appIndexBuilds,
           counts.appPathResolutions, ResolvableEntries(), counts.processSnapshots, counts.diskQueries,
           counts.memoryQueries, counts.processorQueries);

    MeasureRealLoads(rounds, argc > 2 ? CString(argv[2]) : CString());
    RemoveMadeKeys();
    DeleteFileW(TempPath(L"orvane-bench-program.exe").c_str());
    DeleteFileW(TempPath(L"orvane-bench-present.txt").c_str());
    return 0;
}
