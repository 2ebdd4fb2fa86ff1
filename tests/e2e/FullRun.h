// The fixture of whole runs of the real wizard against the content host: the catalog
// and files it serves, the folder where the stand-in installer (tests/programs) leaves a
// marker with its command line, and what the host received.
#pragma once

#include "res/resource.h"
#include "tests/common/ContentHostControl.h"
#include "tests/e2e/WizardDriver.h"
#include "win32/BCryptHandle.h"
#include "win32/ScopedGdi.h"
#include "win32/UniqueResource.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

namespace e2e {

using nlohmann::json;
using testing_support::ContentHostControl;

const std::string Files = "https://content.orvane.test/f/";

inline std::string ReadBytes(const std::wstring& path)
{
    win32::unique_hfile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file)
        return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    return bytes;
}

inline std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    PathRemoveFileSpecW(path);
    return path;
}

inline std::wstring KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

// Removes a folder and everything in it.
inline void RemoveTree(const std::wstring& folder)
{
    std::wstring from = folder + L'\0';
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

// The lower-case hexadecimal SHA-256 digest of the bytes.
inline std::string Sha256(const std::string& bytes)
{
    BYTE digest[32] = {};
    win32::unique_bcrypt_algorithm algorithm;
    win32::unique_bcrypt_hash hash;
    BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0);
    BCryptHashData(hash.get(), reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                   static_cast<ULONG>(bytes.size()), 0);
    BCryptFinishHash(hash.get(), digest, sizeof(digest), 0);
    std::string hex;
    static const char digits[] = "0123456789abcdef";
    for (BYTE byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex;
}

inline bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// An offer of its own vertical (offers of one vertical exclude each other).
inline json Offer(const std::string& code, const std::string& name, const std::string& url, const std::string& arguments,
           int vertical)
{
    return {{"ad", {{"f", "feed-" + code}, {"o", code}}},
            {"ps",
             {{"i", "img/notes.png"},
              {"dn", name},
              {"u", url},
              {"p", arguments},
              {"v", vertical},
              {"cp", "https://www.orvane.test/privacy/" + code},
              {"ctu", "https://www.orvane.test/terms/" + code}}}};
}

// One run against the content host: the catalog it serves, the files it has, and the
// folder where the stand-in installers leave their markers (the wizard and everything it
// starts inherit the driver's environment).
class FullRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_host.Available());
        m_host.Reset();
        m_name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_markers = KnownFolder(FOLDERID_LocalAppData) + L"\\orvane-e2e-markers";
        RemoveTree(m_markers);
        ASSERT_TRUE(CreateDirectoryW(m_markers.c_str(), nullptr));
        SetEnvironmentVariableW(L"ORVANE_MARKER_DIR", m_markers.c_str());
        m_installer = ReadBytes(OwnFolder() + L"\\fake_installer.exe");
        ASSERT_GT(m_installer.size(), 1000u);
        for (const auto& folder : WorkingFolders())
            RemoveTree(folder);
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"ORVANE_MARKER_DIR", nullptr);
        SetEnvironmentVariableW(L"ORVANE_FAKE_EXIT_CODE", nullptr);
        SetEnvironmentVariableW(L"ORVANE_FAKE_SLEEP_MS", nullptr);
        m_wizard.Kill();
        RemoveTree(m_markers);
        if (!m_savedProduct.empty())
            DeleteFileW(m_savedProduct.c_str());
    }

    // The download type saves the product in the user's Downloads folder under the
    // catalog's file name, here one of this test's own; where it goes.
    std::wstring SaveProductInDownloads()
    {
        m_productFile = "OrvaneDemo-" + m_name + ".exe";
        m_savedProduct = KnownFolder(FOLDERID_Downloads) + L"\\" + std::wstring(m_productFile.begin(), m_productFile.end());
        DeleteFileW(m_savedProduct.c_str());
        return m_savedProduct;
    }

    // Has the host serve bytes below "/f/" (slowly when pieces are given); the path.
    std::string Serve(const std::string& path, const std::string& bytes, int pieceDelayMs = 0)
    {
        json answer = {{"body_base64", ContentHostControl::Base64(bytes)}, {"times", 0}};
        if (pieceDelayMs > 0) {
            answer["piece_size"] = 16384;
            answer["piece_delay_ms"] = pieceDelayMs;
        }
        m_answers["/f/" + path] = json::array({answer});
        return path;
    }
    void Publish(const json& offers)
    {
        json catalog = {{"l", "DE"},
                        {"f", {{"a", "pub-1"}, {"m", 4}}},
                        {"i",
                         {{"ct", "Orvane Demo"},
                          {"cu", m_productUrl},
                          {"cl", Files + "img/product.png"},
                          {"cp", "https://www.orvane.test/privacy/"},
                          {"ctu", "https://www.orvane.test/terms/"},
                          {"cf", m_productFile}}},
                        {"o", offers}};
        if (!m_productSha256.empty())
            catalog["i"]["sha256"] = m_productSha256;
        m_host.SetScenario({{"config", catalog}, {"answers", m_answers}});
    }

    // Starts the wizard and goes through the language, loading and welcome pages,
    // accepting every offer page; the page that follows them.
    HWND RunToDownload(const std::wstring& shots = std::wstring())
    {
        if (!m_wizard.Start(L"OrvaneSetup_ab12-cd.exe", m_startFolder))
            return nullptr;
        m_frame = WaitForFrame(m_wizard);
        HWND page = WaitForPage(m_frame, L"LanguagePage");
        if (!shots.empty())
            SaveScreenshot(shots + L"-1-language");
        if (!page || !Click(page, IDC_NEXT))
            return nullptr;
        if (!shots.empty() && WaitForPage(m_frame, L"LoadingPage", Milliseconds(2000)))
            SaveScreenshot(shots + L"-2-loading");
        page = WaitForPage(m_frame, L"WelcomePage", Milliseconds(40000));
        if (!page)
            return nullptr;
        if (!shots.empty()) {
            Sleep(300);
            SaveScreenshot(shots + L"-3-welcome");
        }
        Click(page, IDC_NEXT);
        for (int offer = 1;; ++offer) {
            WaitUntil([&] { return VisiblePage(m_frame) && VisiblePage(m_frame) != page; });
            HWND next = VisiblePage(m_frame);
            if (PageName(next) != L"ProductPage")
                return next;
            page = next;
            if (!shots.empty()) {
                Sleep(300);
                SaveScreenshot(shots + L"-4-offer-" + std::to_wstring(offer));
            }
            Click(page, IDC_ACCEPT);
        }
    }

    // The marker of a stand-in installer started under that file name ("" when none).
    std::string Marker(const std::wstring& exeName) const
    {
        std::wstring marker = m_markers + L"\\" + exeName.substr(0, exeName.rfind(L'.')) + L".marker";
        return ReadBytes(marker);
    }
    std::string WaitForMarker(const std::wstring& exeName, Milliseconds limit = DefaultWait) const
    {
        std::string text;
        WaitUntil([&] { return !(text = Marker(exeName)).empty(); }, limit);
        return text;
    }
    std::vector<std::wstring> Markers() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found = {};
        win32::unique_hfind search(FindFirstFileW((m_markers + L"\\*.marker").c_str(), &found));
        if (!search)
            return names;
        do
            names.push_back(found.cFileName);
        while (FindNextFileW(search.get(), &found));
        std::sort(names.begin(), names.end());
        return names;
    }

    // "main 3", "offer-a -1 DOWNLOAD FAILED: ...": the package events stored (kinds 3
    // and -1), sorted; the run's other events are left out.
    std::vector<std::string> Outcomes() const
    {
        std::vector<std::string> lines;
        for (const auto& event : m_host.Events()) {
            const std::string kind = event.at("kind").get<std::string>();
            if (kind != "3" && kind != "-1")
                continue;
            EXPECT_TRUE(event.at("signature_ok").get<bool>());
            const json& record = event.at("record");
            std::string line = (record.at("10") == 1 ? std::string("main") : record.at("5").get<std::string>()) + " " +
                               kind;
            const auto failure = record.find("12");
            if (failure != record.end() && failure->is_string() && !failure->get<std::string>().empty())
                line += " " + failure->get<std::string>();
            lines.push_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    std::vector<std::string> WaitForOutcomes(size_t count) const
    {
        WaitUntil([&] { return Outcomes().size() >= count; });
        return Outcomes();
    }
    size_t EventsOfKind(const std::string& kind) const
    {
        size_t count = 0;
        for (const auto& event : m_host.Events())
            count += event.at("kind") == kind ? 1 : 0;
        return count;
    }

    ContentHostControl m_host;
    WizardProcess m_wizard;
    HWND m_frame = nullptr;
    std::string m_name;
    std::wstring m_markers;
    std::string m_installer;
    json m_answers = json::object();
    std::string m_productUrl = Files + "product/OrvaneDemo.exe";
    std::string m_productFile = "OrvaneDemo.exe";
    std::string m_productSha256;
    std::wstring m_savedProduct;
    // Where the wizard is started from (the temporary folder when empty).
    std::wstring m_startFolder;
};

// Whether the caption's close button is drawn as one that can be pressed: its glyph is
// dark, while a button without a Close item in the system menu is greyed. (Another
// process cannot read the wizard's menus under Wine; what the user sees is the proof.)
inline bool CloseButtonLooksEnabled(HWND frame)
{
    RECT window = {};
    GetWindowRect(frame, &window);
    const int border = GetSystemMetrics(SM_CXFIXEDFRAME);
    const int size = GetSystemMetrics(SM_CYCAPTION);
    const int left = window.right - border - size;
    const int top = window.top + GetSystemMetrics(SM_CYFIXEDFRAME);
    win32::unique_window_dc screen(nullptr);
    win32::unique_memory_dc memory(CreateCompatibleDC(screen.get()));
    win32::unique_gdiobj bitmap(CreateCompatibleBitmap(screen.get(), size, size));
    win32::unique_select_object selected(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, size, size, screen.get(), left, top, SRCCOPY);
    int dark = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const COLORREF pixel = GetPixel(memory.get(), x, y);
            dark += GetRValue(pixel) < 0x40 && GetGValue(pixel) < 0x40 && GetBValue(pixel) < 0x40 ? 1 : 0;
        }
    return dark > 0;
}


} // namespace e2e
