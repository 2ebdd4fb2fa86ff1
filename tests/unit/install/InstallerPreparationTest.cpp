#include "install/InstallerPreparation.h"
#include "install/ProgramLauncher.h"
#include "install/ZipExtraction.h"

#include "InstallFixtures.h"
#include "tests/common/ZipBuilder.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

std::string FakeInstallerBytes()
{
    return ReadFileBytes(FakeInstallerPath());
}

} // namespace

TEST(DetectArchive, RecognisesZipAnd7zByTheirFirstBytes)
{
    TempFolder folder;
    struct Case {
        const char* what;
        std::string bytes;
        int kind;
    };
    const Case cases[] = {
        {"7z signature", std::string("7z\xBC\xAF\x27\x1C", 6) + "rest", ArchiveSevenZip},
        {"zip header", ZipBuilder().Add("a.txt", "a").Bytes(), ArchiveZip},
        {"only the four zip bytes", std::string("PK\x03\x04", 4), ArchiveZip},
        {"7z signature cut short", std::string("7z\xBC\xAF", 4), ArchiveNone},
        {"program", std::string("MZ\x90\x00\x03\x00", 6), ArchiveNone},
        {"empty file", std::string(), ArchiveNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CString path = folder.File(L"file.bin");
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        EXPECT_EQ(DetectArchive(path), c.kind);
    }
    EXPECT_EQ(DetectArchive(folder.File(L"missing.bin")), ArchiveNone);
}

TEST(MakeExtractionFolder, NamesTheFolderAfterTheArchive)
{
    TempFolder parent;
    EXPECT_EQ(MakeExtractionFolder(L"C:\\elsewhere\\app.v2.zip", parent.Path()), parent.Path() + L"\\app.v2");
    EXPECT_TRUE(FileExists(parent.Path() + L"\\app.v2"));
    // An existing folder is used again.
    EXPECT_EQ(MakeExtractionFolder(L"C:\\elsewhere\\app.v2.zip", parent.Path()), parent.Path() + L"\\app.v2");
    // A folder that cannot be made falls back to the parent.
    CString missingParent = parent.Path() + L"\\no\\such";
    EXPECT_EQ(MakeExtractionFolder(L"C:\\x\\app.zip", missingParent), missingParent);
}

TEST(FindFirstExecutable, FindsOnlyProgramFilesAtTheTop)
{
    TempFolder folder;
    EXPECT_EQ(FindFirstExecutable(folder.Path()), L"");
    CreateDirectoryW(folder.File(L"folder.exe"), nullptr);
    CreateDirectoryW(folder.File(L"sub"), nullptr);
    ASSERT_TRUE(WriteFileBytes(folder.File(L"sub\\deep.exe"), "x"));
    ASSERT_TRUE(WriteFileBytes(folder.File(L"readme.txt"), "x"));
    EXPECT_EQ(FindFirstExecutable(folder.Path()), L"") << "folders and subfolders do not count";
    ASSERT_TRUE(WriteFileBytes(folder.File(L"setup.exe"), "x"));
    EXPECT_EQ(FindFirstExecutable(folder.Path()), L"setup.exe");
}

TEST(PrepareInstaller, ZipWithSetupAtTheTopRunsThatSetup)
{
    TempFolder parent;
    CString zip = parent.File(L"app.zip");
    ZipEntry compressed;
    compressed.name = "docs/readme.txt";
    compressed.content = std::string(5000, 'r');
    compressed.deflate = true;
    ASSERT_TRUE(WriteFileBytes(zip, ZipBuilder().Add("setup.exe", FakeInstallerBytes()).Add(compressed).Bytes()));

    CString program = PrepareInstaller(zip, DetectArchive(zip), parent.Path());

    ASSERT_EQ(program, parent.Path() + L"\\app\\setup.exe");
    EXPECT_EQ(ReadFileBytes(parent.File(L"app\\docs\\readme.txt")), compressed.content);
    auto result = LaunchExecutable(program, L"exit=0", true);
    EXPECT_EQ(result.first, 0u);
    EXPECT_FALSE(ReadMarker(program).empty());
}

TEST(PrepareInstaller, FallsBackToTheDownloadedFile)
{
    TempFolder parent;
    struct Case {
        const char* what;
        const wchar_t* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"programs only in subfolders", L"nested.zip", ZipBuilder().Add("bin/tool.exe", "x").Add("a.txt", "a").Bytes()},
        {"empty zip", L"empty.zip", ZipBuilder().Bytes()},
        {"only the zip signature", L"four.zip", std::string("PK\x03\x04", 4)},
        {"damaged entry", L"damaged.zip",
         ZipBuilder().Add(ZipEntry{"setup.exe", "program", false, 20, 0, false, true}).Bytes()},
        {"not an archive", L"plain.exe", "MZ plain program"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CString path = parent.File(c.name);
        ASSERT_TRUE(WriteFileBytes(path, c.bytes));
        EXPECT_EQ(PrepareInstaller(path, DetectArchive(path), parent.Path()), path);
    }
    EXPECT_TRUE(FileExists(parent.File(L"nested\\bin\\tool.exe")));
    EXPECT_FALSE(FileExists(parent.File(L"damaged\\setup.exe"))) << "a damaged entry leaves nothing behind";
}

TEST(ExtractZip, SkipsEntriesThatLeaveTheFolderAndLinks)
{
    // parent\canary is the folder hostile entries aim at; parent\app receives the archive.
    TempFolder parent;
    CreateDirectoryW(parent.File(L"canary"), nullptr);
    ASSERT_TRUE(WriteFileBytes(parent.File(L"canary\\keep.txt"), "keep"));
    CString zip = parent.File(L"hostile.zip");
    ZipBuilder archive;
    archive.Add("../canary/evil1.exe", "evil")
        .Add("..\\canary\\evil2.exe", "evil")
        .Add("sub/../../canary/evil3.exe", "evil")
        .Add("/canary/evil4.exe", "evil")
        .Add("\\canary\\evil5.exe", "evil")
        .Add("C:evil6.exe", "evil")
        .Add(ToAnsi(parent.File(L"canary\\evil7.exe")), "evil")
        .Add("setup.exe:stream", "evil")
        .Add("name./evil8.exe", "evil")
        .Add("CON", "device")
        .Add("sub/nul.txt", "device")
        .AddSymlink("link", "../canary")
        .AddSymlink("setup.exe", "../canary/keep.txt")
        .Add(ZipEntry{"reparse.exe", "evil", false, 20, FILE_ATTRIBUTE_REPARSE_POINT})
        .Add("./good/ok.txt", "fine")
        .Add(ZipEntry{"good/\xC3\xA9t\xC3\xA9.txt", "utf8", false, 20, 0, true});
    ASSERT_TRUE(WriteFileBytes(zip, archive.Bytes()));
    const auto before = ListTree(parent.Path());

    CString folder = MakeExtractionFolder(zip, parent.Path());
    EXPECT_TRUE(ExtractZip(zip, folder));

    EXPECT_EQ(ListTree(folder), (std::set<std::wstring>{L"good", L"good\\ok.txt", L"good\\\u00E9t\u00E9.txt"}));
    auto after = ListTree(parent.Path());
    after.erase(L"hostile");
    for (const auto& entry : ListTree(folder))
        after.erase(L"hostile\\" + entry);
    EXPECT_EQ(after, before) << "nothing lands outside the extraction folder";
    EXPECT_EQ(ReadFileBytes(parent.File(L"canary\\keep.txt")), "keep");
}

TEST(ExtractZip, StopsWhenTheOutputPassesTheLimit)
{
    TempFolder parent;
    CString zip = parent.File(L"big.zip");
    ZipEntry first{"first.bin", std::string(600, 'a'), true};
    ZipEntry second{"second.bin", std::string(600, 'b'), true};
    ASSERT_TRUE(WriteFileBytes(zip, ZipBuilder().Add(first).Add(second).Bytes()));

    CString limited = parent.File(L"limited");
    CreateDirectoryW(limited, nullptr);
    EXPECT_FALSE(ExtractZip(zip, limited, 1000));
    EXPECT_EQ(ListTree(limited), (std::set<std::wstring>{L"first.bin"})) << "the file that passed the limit is removed";

    CString roomy = parent.File(L"roomy");
    CreateDirectoryW(roomy, nullptr);
    EXPECT_TRUE(ExtractZip(zip, roomy, 1200));
    EXPECT_EQ(ReadFileBytes(roomy + L"\\second.bin"), second.content);
}

// An archive that lists more entries than the limit is refused before any file is made.
TEST(ExtractZip, RefusesAnArchiveOfTooManyEntries)
{
    TempFolder parent;
    CString zip = parent.File(L"many.zip");
    ZipBuilder builder;
    for (int i = 0; i < 40; ++i)
        builder.Add("empty" + std::to_string(i) + ".txt", "");
    ASSERT_TRUE(WriteFileBytes(zip, builder.Bytes()));

    CString refused = parent.File(L"refused");
    CreateDirectoryW(refused, nullptr);
    EXPECT_FALSE(ExtractZip(zip, refused, kMaxZipOutput, 39));
    EXPECT_TRUE(ListTree(refused).empty());

    CString taken = parent.File(L"taken");
    CreateDirectoryW(taken, nullptr);
    EXPECT_TRUE(ExtractZip(zip, taken, kMaxZipOutput, 40));
    EXPECT_EQ(ListTree(taken).size(), 40u);
}

// The 16-bit entry count 0xFFFF tells the reader to walk the central directory to its
// end, however many entries it holds: such an archive is refused before it is walked.
TEST(ExtractZip, RefusesTheFullSixteenBitCountThatWalksEveryEntry)
{
    TempFolder parent;
    CString zip = parent.File(L"walk.zip");
    ZipBuilder builder;
    // 131071 entries: the archive's count field holds their number modulo 65536, 0xFFFF.
    for (int i = 0; i < 131070; ++i)
        builder.Add("../x", "");
    builder.Add("last.txt", "last");
    ASSERT_TRUE(WriteFileBytes(zip, builder.Bytes()));

    CString folder = parent.File(L"app");
    CreateDirectoryW(folder, nullptr);
    EXPECT_FALSE(ExtractZip(zip, folder));
    EXPECT_TRUE(ListTree(folder).empty());
}
