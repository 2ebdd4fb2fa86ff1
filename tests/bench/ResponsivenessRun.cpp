// The responsiveness benchmark: one real run of the download-type wizard against the
// content host, worked from outside as the end-to-end driver does, while a probe thread
// sends WM_NULL to the wizard's frame every few milliseconds (SendMessageTimeout) and
// records how long each answer took. The run is split into phases, each with its own
// longest answer:
//   download   from the download page until the last file has arrived
//   prepare    from the offer's archive complete in the working folder until its
//              installer has started (the archive is unpacked and its program run)
//   bench_responsiveness PRODUCT_URL [OFFER_ZIP_URL]
// With an offer address the run accepts one offer, a zip archive holding bench_setup.exe
// (the stand-in installer, which leaves bench_setup.marker in ORVANE_MARKER_DIR).
// Prints one line per phase: "phase longest_ms probes".
#include "res/resource.h"
#include "tests/common/ContentHostControl.h"
#include "tests/e2e/DriverSettings.h"
#include "tests/e2e/WizardDriver.h"

#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

namespace e2e {
// Where the driver's helpers find the wizard (set by the build) and put screenshots.
const char* const WizardProgramPath = ORVANE_BENCH_WIZARD;
const char* const ScreenshotFolderPath = ORVANE_BENCH_SCREENSHOTS;
} // namespace e2e

namespace {

using namespace e2e;
using nlohmann::json;

enum Phase { Other = 0, Download = 1, Prepare = 2, PhaseCount = 3 };
const char* const kPhaseNames[PhaseCount] = {"other", "download", "prepare"};

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

// Asks the frame for an answer every 2 ms; keeps the longest wait per phase.
class Probe {
public:
    explicit Probe(HWND frame) : m_frame(frame), m_thread([this] { Run(); }) {}
    ~Probe() { Stop(); }
    void SetPhase(Phase phase) { m_phase = phase; }
    void Stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    double Longest(Phase phase) const { return m_longest[phase]; }
    int Probes(Phase phase) const { return m_probes[phase]; }

private:
    void Run()
    {
        while (!m_stop) {
            const Phase phase = Phase(m_phase.load());
            const double sent = Now();
            DWORD_PTR answer = 0;
            if (!SendMessageTimeoutW(m_frame, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer) && !IsWindow(m_frame))
                break;
            const double took = Now() - sent;
            // An answer that spans a change of phase counts for the later phase.
            const Phase now = Phase(m_phase.load());
            const Phase counted = now > phase ? now : phase;
            if (took > m_longest[counted])
                m_longest[counted] = took;
            ++m_probes[counted];
            Sleep(2);
        }
    }

    HWND m_frame;
    std::atomic<int> m_phase{Other};
    std::atomic<bool> m_stop{false};
    double m_longest[PhaseCount] = {};
    int m_probes[PhaseCount] = {};
    std::thread m_thread;
};

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The offer's archive, complete (under its own name, no longer ".part") in a working folder.
bool ArchiveArrived(const std::wstring& name)
{
    for (const auto& folder : WorkingFolders())
        if (Exists(folder + L"\\" + name))
            return true;
    return false;
}

// Says what failed, with the page that shows and what the working folders hold.
int Fail(const char* what, HWND frame = nullptr)
{
    fprintf(stderr, "bench_responsiveness: %s\n", what);
    try {
        for (const auto& event : testing_support::ContentHostControl().Events())
            fprintf(stderr, "  event %s\n", event.at("record").dump().substr(0, 300).c_str());
    } catch (const std::exception&) {
    }
    if (frame)
        fprintf(stderr, "  page: %ls, screenshot %ls\n", PageName(VisiblePage(frame)).c_str(),
                SaveScreenshot(L"responsiveness-failure").c_str());
    for (const auto& folder : WorkingFolders()) {
        WIN32_FIND_DATAW found = {};
        win32::unique_hfind search(FindFirstFileW((folder + L"\\*").c_str(), &found));
        if (search)
            do
                fprintf(stderr, "  %ls\\%ls\n", folder.c_str(), found.cFileName);
            while (FindNextFileW(search.get(), &found));
    }
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2 && argc != 3)
        return 2;
    const std::wstring productUrl = argv[1];
    const std::wstring offerUrl = argc == 3 ? argv[2] : std::wstring();
    const std::string product(productUrl.begin(), productUrl.end());
    const std::string offer(offerUrl.begin(), offerUrl.end());
    const std::wstring archiveName = offerUrl.substr(offerUrl.rfind(L'/') + 1);

    testing_support::ContentHostControl host;
    if (!host.Available())
        return Fail("the content host does not answer");
    host.Reset();
    const std::string files = "https://content.orvane.test/f/";
    json offers = json::array();
    if (!offer.empty())
        offers.push_back({{"ad", {{"f", "feed-bench"}, {"o", "offer-bench"}}},
                          {"ps",
                           {{"i", "img/notes.png"},
                            {"dn", "Bench Bundle"},
                            {"u", offer},
                            {"p", "/quiet"},
                            {"v", 1},
                            {"cp", "https://www.orvane.test/privacy/bench"},
                            {"ctu", "https://www.orvane.test/terms/bench"}}}});
    const std::string productFile = "OrvaneBench-responsiveness.exe";
    const std::wstring savedProduct = KnownFolder(FOLDERID_Downloads) + L"\\" + Widen(productFile);
    DeleteFileW(savedProduct.c_str());
    host.SetScenario({{"config",
                       {{"l", "DE"},
                        {"f", {{"a", "pub-bench"}, {"m", 4}}},
                        {"i",
                         {{"ct", "Orvane Demo"},
                          {"cu", product},
                          {"cl", files + "img/product.png"},
                          {"cp", "https://www.orvane.test/privacy/"},
                          {"ctu", "https://www.orvane.test/terms/"},
                          {"cf", productFile}}},
                        {"o", offers}}}});

    wchar_t markers[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, markers);
    const std::wstring markerFolder = std::wstring(markers) + L"orvane-bench-markers";
    CreateDirectoryW(markerFolder.c_str(), nullptr);
    const std::wstring marker = markerFolder + L"\\bench_setup.marker";
    DeleteFileW(marker.c_str());
    SetEnvironmentVariableW(L"ORVANE_MARKER_DIR", markerFolder.c_str());

    WizardProcess wizard;
    if (!wizard.Start())
        return Fail("the wizard did not start");
    HWND frame = WaitForFrame(wizard);
    HWND page = frame ? WaitForPage(frame, L"LanguagePage") : nullptr;
    if (!page)
        return Fail("no language page");
    Probe probe(frame);
    Click(page, IDC_NEXT);
    page = WaitForPage(frame, L"WelcomePage", Milliseconds(40000));
    if (!page)
        return Fail("no welcome page");
    Click(page, IDC_NEXT);
    for (;;) {
        WaitUntil([&] { return VisiblePage(frame) && VisiblePage(frame) != page; });
        page = VisiblePage(frame);
        if (PageName(page) != L"ProductPage")
            break;
        Click(page, IDC_ACCEPT);
    }
    if (PageName(page) != L"DownloadPage")
        return Fail("no download page");
    probe.SetPhase(Download);

    const Milliseconds limit(180000);
    if (!offerUrl.empty()) {
        if (!WaitUntil([&] { return ArchiveArrived(archiveName); }, limit))
            return Fail("the offer's archive did not arrive", frame);
        probe.SetPhase(Prepare);
        if (!WaitUntil([&] { return Exists(marker); }, limit))
            return Fail("the offer's installer did not start", frame);
    }
    std::wstring last;
    WaitUntil(
        [&] {
            last = PageName(VisiblePage(frame));
            return last == L"FinishPageDLM" || last == L"ErrorPage";
        },
        limit);
    if (last != L"FinishPageDLM")
        return Fail("the run did not reach the finish page", frame);
    probe.Stop();
    wizard.Kill();
    DeleteFileW(savedProduct.c_str());
    DeleteFileW(marker.c_str());
    for (int phase = Download; phase < PhaseCount; ++phase)
        if (probe.Probes(Phase(phase)) > 0)
            printf("%s %.1f %d\n", kPhaseNames[phase], probe.Longest(Phase(phase)), probe.Probes(Phase(phase)));
    return 0;
}
