#include "install/InstallerPreparation.h"
#include "install/ProgramLauncher.h"

#include "InstallFixtures.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace testing_support;

TEST(LaunchExecutable, EmptyArgumentsGiveTheQuotedPathAndOneBlank)
{
    TempFolder folder;
    CString program = folder.File(L"setup program.exe");
    ASSERT_TRUE(CopyFakeInstaller(program));

    auto result = LaunchExecutable(program, CString(), true);

    EXPECT_EQ(result.first, 0u);
    EXPECT_EQ(result.second, L"");
    EXPECT_EQ(ReadMarker(program), "\"" + ToAnsi(program) + "\" ");
}

TEST(LaunchExecutable, WaitedProgramReportsItsExitCode)
{
    TempFolder folder;
    CString program = folder.File(L"setup.exe");
    ASSERT_TRUE(CopyFakeInstaller(program));

    // The stand-in writes its marker only after its pause: waiting means it is there.
    auto result = LaunchExecutable(program, L"/S sleep=300 exit=3010", true);

    EXPECT_EQ(result.first, 3010u);
    EXPECT_EQ(result.second, L"exit code = 3010");
    EXPECT_EQ(ReadMarker(program), "\"" + ToAnsi(program) + "\" /S sleep=300 exit=3010");
}

TEST(LaunchExecutable, UnwaitedProgramStartsWithoutAnExitCode)
{
    TempFolder folder;
    CString program = folder.File(L"offer.exe");
    ASSERT_TRUE(CopyFakeInstaller(program));

    auto result = LaunchExecutable(program, L"exit=7", false);

    EXPECT_EQ(result.first, 0xFFFFFFFFu);
    EXPECT_EQ(result.second, L"exit code = 4294967295");
    for (int i = 0; i < 100 && ReadMarker(program).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(ReadMarker(program), "\"" + ToAnsi(program) + "\" exit=7");
}

TEST(LaunchExecutable, ProgramThatCannotStartGivesTheSystemText)
{
    TempFolder folder;
    struct Case {
        const char* what;
        CString path;
    };
    CString sevenZip = folder.File(L"setup.7z");
    ASSERT_TRUE(WriteFileBytes(sevenZip, std::string("7z\xBC\xAF\x27\x1C", 6) + std::string(64, '\0')));
    const Case cases[] = {
        {"missing file", folder.File(L"missing.exe")},
        {"7z archive launched unchanged", PrepareInstaller(sevenZip, DetectArchive(sevenZip), folder.Path())},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto result = LaunchExecutable(c.path, CString(), true);
        EXPECT_EQ(result.first, 0xFFFFFFFFu);
        const CString prefix = L"Error launching executable: ";
        ASSERT_EQ(result.second.Left(prefix.GetLength()), prefix);
        EXPECT_GT(result.second.GetLength(), prefix.GetLength()) << "the system's text follows";
    }
    EXPECT_EQ(cases[1].path, sevenZip);
}
