// The registry layer against the real registry of the test prefix: keys written in
// the 64-bit view and in Wow6432Node, values of each type, and access masks that make
// the platform calls fail.
#include "offers/RegistryAccess.h"
#include "offers/RegistryPaths.h"
#include "tests/common/TestSupport.h"
#include "tests/unit/offers/RegistryFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <stdexcept>

using offers_testing::ScratchKey;
using offers_testing::UniqueKeyName;

namespace {

std::wstring Lower(std::wstring text)
{
    for (auto& ch : text)
        ch = static_cast<wchar_t>(towlower(ch));
    return text;
}

using Candidates = std::vector<std::wstring>;

TEST(RegistryPathsTest, ExpandsConfiguredPathsToCandidates)
{
    struct Case {
        std::wstring path;
        Candidates expected;
    };
    const std::vector<Case> cases = {
        {L"", {}},
        {L"hklm\\software\\x", {L"hkey_local_machine\\software\\x"}},
        {L"hkcu\\software\\x", {L"hkey_current_user\\software\\x"}},
        {L"hkcr\\.txt", {L"hkey_classes_root\\.txt"}},
        {L"hku\\.default\\x", {L"hkey_users\\.default\\x"}},
        {L"hkcc\\system", {L"hkey_current_config\\system"}},
        {L"hkey_current_user\\y", {L"hkey_current_user\\y"}},
        {L"hkey_users\\s-1-5-18", {L"hkey_users\\s-1-5-18"}},
        {L"software\\x",
         {L"hkey_local_machine\\software\\software\\x", L"hkey_current_user\\software\\software\\x",
          L"hkey_local_machine\\software\\wow6432node\\software\\x",
          L"hkey_current_user\\software\\wow6432node\\software\\x"}},
        {L"vendor\\app",
         {L"hkey_local_machine\\software\\vendor\\app", L"hkey_current_user\\software\\vendor\\app",
          L"hkey_local_machine\\software\\wow6432node\\vendor\\app",
          L"hkey_current_user\\software\\wow6432node\\vendor\\app"}},
        // A root name must be followed by a backslash to count as one.
        {L"hklm", {L"hkey_local_machine\\software\\hklm", L"hkey_current_user\\software\\hklm",
                   L"hkey_local_machine\\software\\wow6432node\\hklm",
                   L"hkey_current_user\\software\\wow6432node\\hklm"}},
        {L"hkey_nowhere\\x", {L"hkey_local_machine\\software\\hkey_nowhere\\x",
                              L"hkey_current_user\\software\\hkey_nowhere\\x",
                              L"hkey_local_machine\\software\\wow6432node\\hkey_nowhere\\x",
                              L"hkey_current_user\\software\\wow6432node\\hkey_nowhere\\x"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandRegistryPath(c.path), c.expected) << c.path;
}

TEST(RegistryPathsTest, SelectsTheViewOfPathsBelowSoftware)
{
    struct Case {
        std::wstring path;
        std::wstring expectedPath;
        REGSAM expectedView;
    };
    const std::vector<Case> cases = {
        {L"hkey_local_machine\\software\\vendor", L"hkey_local_machine\\software\\vendor", KEY_WOW64_64KEY},
        {L"hkey_local_machine\\software\\wow6432node\\vendor", L"hkey_local_machine\\software\\vendor",
         KEY_WOW64_32KEY},
        {L"hkey_current_user\\software\\wow6432node\\vendor\\app", L"hkey_current_user\\software\\vendor\\app",
         KEY_WOW64_32KEY},
        // Only the component right below software selects the 32-bit view.
        {L"hkey_local_machine\\software\\vendor\\wow6432node\\x", L"hkey_local_machine\\software\\vendor\\wow6432node\\x",
         KEY_WOW64_64KEY},
        {L"hkey_local_machine\\system\\x", L"hkey_local_machine\\system\\x", 0},
        {L"hkey_users\\software\\x", L"hkey_users\\software\\x", 0},
    };
    for (const auto& c : cases) {
        std::wstring path = c.path;
        REGSAM view = KEY_READ;
        SelectRegistryView(path, view);
        EXPECT_EQ(path, c.expectedPath);
        EXPECT_EQ(view, KEY_READ | c.expectedView) << c.path;
    }

    std::wstring tooShort = L"hkey_local_machine\\software\\";
    REGSAM view = 0;
    EXPECT_THROW(SelectRegistryView(tooShort, view), std::out_of_range);
}

TEST(RegistryPathsTest, SplitsAtTheFirstAndTheLastBackslash)
{
    using Parts = std::pair<std::wstring, std::wstring>;
    EXPECT_EQ(SplitAtFirstBackslash(L"hkey_users\\a\\b"), Parts(L"hkey_users", L"a\\b"));
    EXPECT_EQ(SplitAtLastBackslash(L"hkey_users\\a\\b"), Parts(L"hkey_users\\a", L"b"));
    EXPECT_EQ(SplitAtFirstBackslash(L"hkey_users"), Parts(L"hkey_users", L"hkey_users"));
    EXPECT_EQ(SplitAtLastBackslash(L"name"), Parts(L"name", L"name"));
}

// A vendor key in each view: one subkey only in the 64-bit keys, one only below Wow6432Node.
class RegistryViewsTest : public testing::Test {
protected:
    RegistryViewsTest()
        : m_name(UniqueKeyName()), m_lower(Lower(m_name)),
          m_vendor64(HKEY_LOCAL_MACHINE, L"Software\\" + m_name, KEY_WOW64_64KEY),
          m_vendor32(HKEY_LOCAL_MACHINE, L"Software\\" + m_name, KEY_WOW64_32KEY)
    {
        m_vendor64.AddSubkey(L"Only64");
        m_vendor32.AddSubkey(L"Only32");
    }

    std::wstring Machine(const std::wstring& rest) const { return L"hkey_local_machine\\software\\" + rest; }

    std::wstring m_name;
    std::wstring m_lower;
    ScratchKey m_vendor64;
    ScratchKey m_vendor32;
    SubkeyCache m_cache;
};

TEST_F(RegistryViewsTest, FindsEachKeyInItsOwnView)
{
    // The fixture wrote the 32-bit key where 32-bit programs find it.
    win32::unique_hkey literal;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\Wow6432Node\\" + m_name + L"\\Only32").c_str(), 0,
                            KEY_READ | KEY_WOW64_64KEY, literal.put()),
              ERROR_SUCCESS);

    EXPECT_TRUE(RegistryKeyExists(m_cache, Machine(m_lower + L"\\only64")));
    EXPECT_FALSE(RegistryKeyExists(m_cache, Machine(m_lower + L"\\only32")));
    EXPECT_TRUE(RegistryKeyExists(m_cache, Machine(L"wow6432node\\" + m_lower + L"\\only32")));
    EXPECT_FALSE(RegistryKeyExists(m_cache, Machine(L"wow6432node\\" + m_lower + L"\\only64")));
    EXPECT_TRUE(RegistryKeyExists(m_cache, Machine(m_lower)));
    EXPECT_FALSE(RegistryKeyExists(m_cache, Machine(m_lower + L"\\missing")));

    // Every candidate of a path without a root, 64-bit ones first.
    std::vector<bool> found;
    for (const auto& candidate : ExpandRegistryPath(m_lower + L"\\only32"))
        found.push_back(RegistryKeyExists(m_cache, candidate));
    EXPECT_EQ(found, (std::vector<bool>{false, false, true, false}));
}

TEST_F(RegistryViewsTest, EnumeratesSoftwareOncePerRootAndView)
{
    for (int round = 0; round < 5; ++round) {
        RegistryKeyExists(m_cache, Machine(m_lower + L"\\only64"));
        RegistryKeyExists(m_cache, Machine(L"wow6432node\\" + m_lower + L"\\only32"));
        RegistryKeyExists(m_cache, Machine(L"nothing-here\\x"));
    }
    EXPECT_EQ(m_cache.enumerations, 2);
    EXPECT_EQ(m_cache.entries[HKEY_LOCAL_MACHINE].size(), 2u);

    // A vendor key made after the enumeration is not in the cached names, so it is
    // reported absent without being opened; the plain test still sees it.
    const std::wstring late = UniqueKeyName();
    ScratchKey lateKey(HKEY_LOCAL_MACHINE, L"Software\\" + late);
    EXPECT_FALSE(RegistryKeyExists(m_cache, Machine(Lower(late))));
    EXPECT_TRUE(KeyExists(Machine(Lower(late))));
    SubkeyCache fresh;
    EXPECT_TRUE(RegistryKeyExists(fresh, Machine(Lower(late))));
}

TEST(RegistryCacheTest, EnumeratesAgainWhileSoftwareIsEmpty)
{
    testing_support::RegistrySandbox user(HKEY_CURRENT_USER);
    SubkeyCache cache;
    // No software key at all: the enumeration fails and the key is absent.
    EXPECT_FALSE(SoftwareKeyExists(cache, L"hkey_current_user\\software\\vendor"));
    EXPECT_EQ(cache.enumerations, 0);

    ScratchKey software(user.Root(), L"Software");
    EXPECT_FALSE(SoftwareKeyExists(cache, L"hkey_current_user\\software\\vendor"));
    EXPECT_EQ(cache.enumerations, 1);
    software.AddSubkey(L"Vendor");
    EXPECT_TRUE(SoftwareKeyExists(cache, L"hkey_current_user\\software\\vendor"));
    EXPECT_EQ(cache.enumerations, 2);
    EXPECT_TRUE(SoftwareKeyExists(cache, L"hkey_current_user\\software\\vendor"));
    EXPECT_EQ(cache.enumerations, 2);
}

TEST(RegistryKeysTest, PlainTestAndUnknownRoots)
{
    EXPECT_TRUE(KeyExists(L"hkey_local_machine\\system"));
    EXPECT_TRUE(KeyExists(L"hkey_current_user\\software"));
    EXPECT_FALSE(KeyExists(L"hkey_local_machine\\no\\such\\key"));
    SubkeyCache cache;
    EXPECT_THROW(KeyExists(L"hklm\\software"), std::out_of_range);
    EXPECT_THROW(RegistryKeyExists(cache, L"hkey_nowhere\\x"), std::out_of_range);
}

TEST(RegistryKeysTest, EnumeratesLowerCaseNamesAndReportsFailures)
{
    ScratchKey parent(HKEY_CURRENT_USER, L"Software\\" + UniqueKeyName());
    parent.AddSubkey(L"Alpha").AddSubkey(L"BETA").AddSubkey(L"a-much-longer-name-than-the-others-are");
    std::vector<std::wstring> names = EnumerateSubkeys(parent.Get());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a-much-longer-name-than-the-others-are", L"alpha", L"beta"}));

    try {
        OpenRegistryKey(HKEY_CURRENT_USER, parent.Path() + L"\\Missing", 0);
        ADD_FAILURE() << "a missing key opened";
    } catch (const win32::RegistryError& error) {
        EXPECT_STREQ(error.what(), "Cannot open registry key: RegOpenKeyEx failed.");
        EXPECT_EQ(error.Code(), ERROR_FILE_NOT_FOUND);
    }

    // A key removed while it is open cannot be asked about; one opened without the
    // right to enumerate can be counted but not listed.
    {
        ScratchKey doomed(HKEY_CURRENT_USER, parent.Path() + L"\\Doomed");
        win32::unique_hkey open;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, doomed.Path().c_str(), 0, KEY_READ, open.put()), ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, doomed.Path().c_str()), ERROR_SUCCESS);
        try {
            EnumerateSubkeys(open.get());
            ADD_FAILURE() << "a deleted key was enumerated";
        } catch (const win32::RegistryError& error) {
            EXPECT_STREQ(error.what(), "RegQueryInfoKey failed while preparing for subkey enumeration.");
            EXPECT_EQ(error.Code(), ERROR_KEY_DELETED);
        }
    }
    win32::unique_hkey limited;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, parent.Path().c_str(), 0, KEY_QUERY_VALUE, limited.put()),
              ERROR_SUCCESS);
    try {
        EnumerateSubkeys(limited.get());
        ADD_FAILURE() << "enumeration without the right to it succeeded";
    } catch (const win32::RegistryError& error) {
        EXPECT_STREQ(error.what(), "Cannot enumerate subkeys: RegEnumKeyEx failed.");
        EXPECT_EQ(error.Code(), ERROR_ACCESS_DENIED);
    }
}

TEST(RegistryValuesTest, TellsPresenceAndTypeAndReadsEachType)
{
    ScratchKey key(HKEY_CURRENT_USER, L"Software\\" + UniqueKeyName());
    key.SetString(L"Text", L"Hello World").SetString(L"Empty", L"").SetDword(L"Small", 4000000000u)
        .SetQword(L"Large", 18000000000000000000ull).SetBinary(L"Blob", "\x01\x02").SetString(L"", L"default");

    EXPECT_TRUE(ValueExists(key.Get(), L"text"));
    EXPECT_TRUE(ValueExists(key.Get(), L"Blob"));
    EXPECT_TRUE(ValueExists(key.Get(), L""));
    EXPECT_FALSE(ValueExists(key.Get(), L"missing"));
    EXPECT_EQ(ValueType(key.Get(), L"Text"), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(ValueType(key.Get(), L"Small"), static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(ValueType(key.Get(), L"Large"), static_cast<DWORD>(REG_QWORD));
    EXPECT_EQ(ValueType(key.Get(), L"Blob"), static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(ValueType(key.Get(), L"missing"), 0u);

    EXPECT_EQ(ReadString(key.Get(), nullptr, L"Text"), L"Hello World");
    EXPECT_EQ(ReadString(key.Get(), nullptr, L"Empty"), L"");
    EXPECT_EQ(ReadString(key.Get(), nullptr, L""), L"default");
    EXPECT_EQ(ReadString(HKEY_CURRENT_USER, key.Path().c_str(), L"Text"), L"Hello World");
    EXPECT_EQ(ReadDword(key.Get(), L"Small"), 4000000000u);
    EXPECT_EQ(ReadQword(key.Get(), L"Large"), 18000000000000000000ull);

    auto message = [](auto read) -> std::string {
        try {
            read();
        } catch (const win32::RegistryError& error) {
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(message([&] { ReadString(key.Get(), nullptr, L"Small"); }), "Cannot read string from registry");
    EXPECT_EQ(message([&] { ReadString(key.Get(), nullptr, L"missing"); }), "Cannot read string from registry");
    EXPECT_EQ(message([&] { ReadDword(key.Get(), L"Text"); }), "Cannot read DWORD from registry.");
    EXPECT_EQ(message([&] { ReadQword(key.Get(), L"Small"); }), "Cannot read QWORD from registry.");

    // A key that may not be queried: every answer is "absent", nothing is thrown.
    win32::unique_hkey blind;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key.Path().c_str(), 0, KEY_ENUMERATE_SUB_KEYS, blind.put()),
              ERROR_SUCCESS);
    EXPECT_FALSE(ValueExists(blind.get(), L"Text"));
    EXPECT_EQ(ValueType(blind.get(), L"Text"), 0u);
}

TEST_F(RegistryViewsTest, ReadsValueTextFromEitherView)
{
    ScratchKey both64(HKEY_LOCAL_MACHINE, L"Software\\" + m_name + L"\\Both", KEY_WOW64_64KEY);
    ScratchKey both32(HKEY_LOCAL_MACHINE, L"Software\\" + m_name + L"\\Both", KEY_WOW64_32KEY);
    both64.SetString(L"Where", L"64-bit").SetBinary(L"Mixed", "\x07").SetDword(L"Number", 1700000000u);
    both32.SetString(L"Where", L"32-bit").SetString(L"Mixed", L"from 32").SetString(L"Only32", L"here")
        .SetQword(L"Big", 1700000000123ull).SetBinary(L"Blob", "\x01");

    const std::wstring path = L"software\\" + m_lower + L"\\both";
    std::wstring text = L"unchanged";
    auto read = [&](const std::wstring& keyPath, const std::wstring& name) {
        text = L"unchanged";
        return ReadValueText(m_cache, L"hkey_local_machine", keyPath, name, text);
    };
    EXPECT_TRUE(read(path, L"where"));
    EXPECT_EQ(text, L"64-bit");
    EXPECT_TRUE(read(path, L"only32"));
    EXPECT_EQ(text, L"here");
    // A binary value is skipped, so the 32-bit text is what is read.
    EXPECT_TRUE(read(path, L"mixed"));
    EXPECT_EQ(text, L"from 32");
    EXPECT_TRUE(read(path, L"number"));
    EXPECT_EQ(text, L"1700000000");
    EXPECT_TRUE(read(path, L"big"));
    EXPECT_EQ(text, L"1700000000123");
    EXPECT_FALSE(read(path, L"blob"));
    EXPECT_EQ(text, L"unchanged");
    EXPECT_FALSE(read(path, L"missing"));
    EXPECT_EQ(text, L"unchanged");

    // Upper-case SOFTWARE asks for no Wow6432Node variant, and uses the plain test.
    EXPECT_TRUE(read(L"SOFTWARE\\" + m_name + L"\\Both", L"Where"));
    EXPECT_EQ(text, L"64-bit");
    EXPECT_FALSE(read(L"SOFTWARE\\" + m_name + L"\\Both", L"Only32"));

    EXPECT_THROW(ReadValueText(m_cache, L"hklm", path, L"where", text), std::out_of_range);
}

} // namespace
