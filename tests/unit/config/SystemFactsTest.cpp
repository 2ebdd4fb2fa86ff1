#include "config/SystemFacts.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>
#include <regex>

using testing_support::RegistrySandbox;

namespace {

const wchar_t* const CryptographyKey = L"SOFTWARE\\Microsoft\\Cryptography";

bool FakeWindows7WithoutServicePack(DWORD major, DWORD minor, WORD servicePack)
{
    // Windows 7 RTM: 6.1 with service pack 0.
    if (major != 6)
        return major < 6;
    if (minor != 1)
        return minor < 1;
    return servicePack == 0;
}

} // namespace

// The test sandbox runs Wine as Windows 10 (build 18362).
TEST(SystemFacts, VersionTextIsTheTrueSystemVersion)
{
    EXPECT_EQ(GetOsVersionText(), "10.0.18362");
}

TEST(SystemFacts, IsWindowsAtLeastComparesMajorMinorAndServicePack)
{
    struct Case {
        DWORD major, minor;
        WORD servicePack;
        bool expected;
    } cases[] = {
        {6, 1, 0, true}, {6, 1, 1, true}, {6, 2, 0, true}, {6, 3, 0, true},
        // Only a manifest with the compatibility entries lets 10.0 through.
        {10, 0, 0, true}, {10, 1, 0, false}, {11, 0, 0, false}, {10, 0, 1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsWindowsAtLeast(c.major, c.minor, c.servicePack), c.expected)
            << c.major << "." << c.minor << " SP" << c.servicePack;
}

TEST(SystemFacts, VersionCheckSeamActsAsWindows7WithoutServicePack)
{
    SetVersionCheckForTesting(FakeWindows7WithoutServicePack);
    EXPECT_TRUE(IsWindowsAtLeast(6, 1, 0));
    EXPECT_FALSE(IsWindowsAtLeast(6, 1, 1));
    EXPECT_FALSE(IsWindowsAtLeast(6, 2, 0));
    SetVersionCheckForTesting(nullptr);
    EXPECT_TRUE(IsWindowsAtLeast(6, 1, 1));
}

TEST(SystemFacts, ProgramFileVersionComesFromTheVersionBlock)
{
    EXPECT_EQ(GetProgramFileVersion(), "3.0.13.11201");
}

TEST(SystemFacts, MachineGuidIsReadFromTheSixtyFourBitView)
{
    RegistrySandbox machine(HKEY_LOCAL_MACHINE);
    machine.SetString(CryptographyKey, L"MachineGuid", L"6f1c2a9e-0b7d-4e55-9a13-2c8d4f0e7b61");
    EXPECT_EQ(ReadMachineGuid(), "6f1c2a9e-0b7d-4e55-9a13-2c8d4f0e7b61");
}

TEST(SystemFacts, MissingMachineGuidGivesEmptyText)
{
    {
        RegistrySandbox machine(HKEY_LOCAL_MACHINE);
        EXPECT_EQ(ReadMachineGuid(), "");  // no key at all
    }
    RegistrySandbox machine(HKEY_LOCAL_MACHINE);
    machine.SetString(CryptographyKey, L"Other", L"x");
    EXPECT_EQ(ReadMachineGuid(), "");  // key without the value
}

TEST(SystemFacts, MachineGuidFillingTheBufferKeeps254Bytes)
{
    RegistrySandbox machine(HKEY_LOCAL_MACHINE);
    // 254 characters and the terminator fill the 255-byte buffer exactly.
    machine.SetString(CryptographyKey, L"MachineGuid", std::wstring(254, L'a').c_str());
    EXPECT_EQ(ReadMachineGuid(), std::string(254, 'a'));
    // A longer value does not fit: the read fails and the identifier is empty.
    machine.SetString(CryptographyKey, L"MachineGuid", std::wstring(400, L'a').c_str());
    EXPECT_EQ(ReadMachineGuid(), "");
}

TEST(SystemFacts, IsUrlRecognisesWebAddresses)
{
    struct Case {
        const wchar_t* text;
        bool expected;
    } cases[] = {
        {L"https://cdn.example.com/files/setup.exe", true},
        {L"http://cdn.example.com/a?b=c", true},
        {L"cdn.example.com/files/setup.exe", true},
        {L"example.com", true},
        {L"setup.exe", true},  // a bare file name has the form of a dotted host
        {L"a.b#frag", true},
        {L"files/a.exe", false},
        {L"localhost/setup.exe", false},
        {L"https://cdn.example.com:8443/setup.exe", false},
        {L"ftp://cdn.example.com/setup.exe", false},
        {L"", false},
        {L".com", false},
        {L"a.", false},
        {L"https://", false},
        {L"a.b/line\nbreak", false},
        {L"exa mple.com", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsUrl(c.text), c.expected) << ToAnsi(c.text);
        // The hand-written matcher agrees with the regular expression it stands for.
        std::string narrow = ToAnsi(c.text);
        std::regex pattern(R"(^((http|https):\/\/)?([\w.-]+)(\.[\w.-]+)+([\/?#].*)?$)");
        EXPECT_EQ(std::regex_match(narrow, pattern), c.expected) << narrow;
    }
}

// The text is read in the thread's ANSI code page. The Cyrillic code page has no
// e-acute and writes a plain e for it, so the same text is a dotted host name for a
// thread with a Russian locale and is not one in the Western code page.
TEST(SystemFacts, IsUrlReadsTheTextInTheThreadsCodePage)
{
    const wchar_t* const text = L"caf\u00E9.example.com/setup.exe";
    {
        testing_support::ThreadLocale english(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        ASSERT_EQ(GetACP(), 1252u) << "the system's code page is the Western one";
        EXPECT_FALSE(IsUrl(text));
    }
    testing_support::ThreadLocale russian(MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA));
    EXPECT_TRUE(IsUrl(text));
}

TEST(SystemFacts, IsUrlCopesWithVeryLongText)
{
    CString longUrl = L"https://cdn.example.com/";
    longUrl += CString(L'x', 200000);
    EXPECT_TRUE(IsUrl(longUrl));
    EXPECT_FALSE(IsUrl(CString(L'x', 200000)));
}
