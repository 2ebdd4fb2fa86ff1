// The wizard runs elevated from the folder it was downloaded to, where anybody may have
// left files. Libraries put there under the names of system libraries must never be
// loaded: not at start, and not later in a whole run.
#include "config/BuildSettings.h"
#include "tests/common/ZipBuilder.h"
#include "tests/e2e/DriverSettings.h"
#include "tests/e2e/FullRun.h"
#include "win32/UniqueProcessInformation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace e2e;
using testing_support::ZipBuilder;

namespace {

// Names that programs load from their own folder when nothing stops them: the libraries
// the wizard uses or the system loads on its behalf, and the usual planting names.
const wchar_t* const PlantedNames[] = {
    L"version",  L"uxtheme",   L"dwmapi",   L"winhttp",  L"wininet",  L"userenv",       L"cryptbase", L"cryptsp",
    L"secur32",  L"sspicli",   L"propsys",  L"profapi",  L"winmm",    L"bcrypt",        L"gdiplus",   L"comctl32",
    L"riched20", L"riched32",  L"msftedit", L"dbghelp",  L"iphlpapi", L"dnsapi",        L"netapi32",  L"wtsapi32",
    L"crypt32",  L"wintrust",  L"msimg32",  L"ntmarta",  L"rsaenh",   L"urlmon",        L"iertutil",  L"mpr",
    L"ncrypt",   L"apphelp",   L"oleacc",   L"shfolder", L"winnsi",   L"windowscodecs", L"mswsock",   L"dhcpcsvc",
    L"schannel", L"credui",    L"msasn1",   L"devobj",   L"cfgmgr32", L"powrprof",      L"wldp",      L"textshaping",
    L"usp10",    L"imm32",     L"jsproxy",  L"zlib1",    L"msi",      L"cabinet",       L"wer", L"ws2_32",
};

const wchar_t* const Programs[] = {L"OrvaneSetup_ab12-cd.exe", L"planting_probe.exe"};

std::wstring OverridesKey(const wchar_t* program)
{
    return L"Software\\Wine\\AppDefaults\\" + std::wstring(program) + L"\\DllOverrides";
}

class PlantingRun : public FullRun {
protected:
    void SetUp() override
    {
        FullRun::SetUp();
        m_folder = KnownFolder(FOLDERID_LocalAppData) + L"\\orvane-e2e-planting\\Downloads";
        RemoveTree(KnownFolder(FOLDERID_LocalAppData) + L"\\orvane-e2e-planting");
        ASSERT_EQ(SHCreateDirectoryExW(nullptr, m_folder.c_str(), nullptr), ERROR_SUCCESS);
        for (const wchar_t* name : PlantedNames)
            ASSERT_TRUE(CopyFileW((OwnFolder() + L"\\canary.dll").c_str(), (m_folder + L"\\" + name + L".dll").c_str(),
                                  FALSE));
        // Wine prefers its built-in libraries to files unless told otherwise for a
        // program; here it is told so for the wizard and the probe, as Windows would load
        // the files.
        for (const wchar_t* program : Programs) {
            win32::unique_hkey key;
            ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, OverridesKey(program).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                      nullptr, key.put(), nullptr),
                      ERROR_SUCCESS);
            for (const wchar_t* name : PlantedNames) {
                const wchar_t order[] = L"native,builtin";
                RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof(order));
            }
        }
        m_startFolder = m_folder;
    }
    void TearDown() override
    {
        for (const wchar_t* program : Programs)
            RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Wine\\AppDefaults\\" + std::wstring(program)).c_str());
        FullRun::TearDown();
        RemoveTree(KnownFolder(FOLDERID_LocalAppData) + L"\\orvane-e2e-planting");
    }

    // The planted libraries that were loaded, in lower case.
    std::vector<std::wstring> Loaded() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found = {};
        win32::unique_hfind search(FindFirstFileW((m_markers + L"\\*.loaded").c_str(), &found));
        if (search) {
            do
                names.push_back(CharLowerW(found.cFileName));
            while (FindNextFileW(search.get(), &found));
        }
        return names;
    }

    std::wstring m_folder;
};

} // namespace

TEST_F(PlantingRun, NoLibraryBesideTheWizardIsEverLoaded)
{
    // The planted copies are seen: a program that loads version.dll the ordinary way,
    // started from the same folder, loads the copy.
    const std::wstring probe = m_folder + L"\\planting_probe.exe";
    ASSERT_TRUE(CopyFileW((OwnFolder() + L"\\planting_probe.exe").c_str(), probe.c_str(), FALSE));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    win32::unique_process_information info;
    std::wstring commandLine = L"\"" + probe + L"\"";
    ASSERT_TRUE(CreateProcessW(probe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, m_folder.c_str(),
                               &startup, info.put()));
    WaitForSingleObject(info.process(), 15000);
    ASSERT_EQ(Loaded(), std::vector<std::wstring>{L"version.dll.loaded"});
    DeleteFileW((m_markers + L"\\version.dll.loaded").c_str());

    // A whole run from that folder: the product, an archive offer unpacked and started,
    // the finish page and Finish.
    const bool downloadType = std::string(build::WizardTypeName) == "DLM";
    if (downloadType) {
        SaveProductInDownloads();
        m_productUrl = Files + Serve("e2e/product.exe", m_installer);
    } else {
        Serve("product/OrvaneDemo.exe", m_installer);
    }
    Serve("e2e/bundle.zip", ZipBuilder().Add("bundle_setup.exe", m_installer).Bytes());
    Publish(json::array({Offer("offer-bundle", "Harbor Bundle", "e2e/bundle.zip", "/quiet", 2)}));

    ASSERT_TRUE(RunToDownload());
    HWND finish = WaitForPage(m_frame, downloadType ? L"FinishPageDLM" : L"FinishPageISV", Milliseconds(30000));
    ASSERT_TRUE(finish) << PageName(VisiblePage(m_frame));
    EXPECT_NE(WaitForMarker(L"bundle_setup.exe").find("bundle_setup.exe\" /quiet"), std::string::npos);
    if (!downloadType)
        SendMessageW(GetDlgItem(finish, IDC_LAUNCH_CHECKBOX), BM_SETCHECK, BST_UNCHECKED, 0);
    ASSERT_TRUE(Click(finish, IDC_FINISH));
    EXPECT_TRUE(m_wizard.WaitForExit(DefaultWait));
    EXPECT_EQ(Loaded(), std::vector<std::wstring>{});
}

namespace {

// The names in the import directory of a program file (the libraries the loader
// resolves before the program's first instruction).
std::vector<std::string> ImportedLibraries(const std::string& image)
{
    std::vector<std::string> names;
    auto at = [&](size_t offset, size_t size) { return offset <= image.size() && size <= image.size() - offset; };
    if (!at(0, sizeof(IMAGE_DOS_HEADER)))
        return names;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (!at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS64)))
        return names;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.data() + dos->e_lfanew);
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i)
            if (rva >= sections[i].VirtualAddress && rva < sections[i].VirtualAddress + sections[i].SizeOfRawData)
                return sections[i].PointerToRawData + (rva - sections[i].VirtualAddress);
        return image.size();
    };
    const DWORD directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (size_t offset = fileOffset(directory); at(offset, sizeof(IMAGE_IMPORT_DESCRIPTOR));
         offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + offset);
        if (entry->Name == 0)
            break;
        const size_t name = fileOffset(entry->Name);
        if (!at(name, 1))
            break;
        std::string text(image.c_str() + name);
        for (auto& ch : text)
            ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
        names.push_back(text);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

// Only libraries that are always loaded before any program (ntdll, kernel32) and the
// C runtime's are imported the ordinary way; everything else is bound on first call,
// after the program has limited loading to System32.
TEST(ProgramImports, OnlyLibrariesLoadedBeforeTheProgramAreImported)
{
    std::wstring wizard;
    for (const char* at = WizardProgramPath; *at; ++at)
        wizard += *at == '/' ? L'\\' : static_cast<wchar_t>(*at);
    const std::string image = ReadBytes(L"Z:" + wizard);
    ASSERT_GT(image.size(), 100000u);
    EXPECT_EQ(ImportedLibraries(image), (std::vector<std::string>{"kernel32.dll", "msvcrt.dll", "ntdll.dll"}));
}
