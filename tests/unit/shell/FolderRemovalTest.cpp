#include "shell/FolderRemoval.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

TEST(DeleteFolderTree, RemovesNestedFilesAndFolders)
{
    TempFolder temp;
    CString root = temp.File(L"work");
    ASSERT_TRUE(CreateDirectoryW(root, nullptr));
    ASSERT_TRUE(CreateDirectoryW(root + L"\\a", nullptr));
    ASSERT_TRUE(CreateDirectoryW(root + L"\\a\\b", nullptr));
    ASSERT_TRUE(WriteFileBytes(root + L"\\top.exe", "1"));
    ASSERT_TRUE(WriteFileBytes(root + L"\\a\\b\\deep.txt", "2"));

    DeleteFolderTree(root);

    EXPECT_FALSE(PathFileExistsW(root));
}

TEST(DeleteFolderTree, RemovesAnEmptyFolderAndIgnoresMissingOnes)
{
    TempFolder temp;
    CString root = temp.File(L"empty");
    ASSERT_TRUE(CreateDirectoryW(root, nullptr));
    DeleteFolderTree(root);
    EXPECT_FALSE(PathFileExistsW(root));

    DeleteFolderTree(temp.File(L"never-made"));
    DeleteFolderTree(CString());
    EXPECT_TRUE(PathFileExistsW(temp.Path()));
}

// A link inside the folder goes, what it points to stays.
TEST(DeleteFolderTree, RemovesLinksWithoutFollowingThem)
{
    TempFolder temp;
    CString outside = temp.File(L"precious");
    ASSERT_TRUE(CreateDirectoryW(outside, nullptr));
    ASSERT_TRUE(WriteFileBytes(outside + L"\\keep.txt", "keep"));
    ASSERT_TRUE(WriteFileBytes(temp.File(L"keep-file.txt"), "file"));

    CString root = temp.File(L"work");
    ASSERT_TRUE(CreateDirectoryW(root, nullptr));
    ASSERT_TRUE(CreateDirectoryW(root + L"\\sub", nullptr));
    ASSERT_TRUE(CreateSymbolicLinkW(root + L"\\sub\\to-folder", outside, SYMBOLIC_LINK_FLAG_DIRECTORY))
        << GetLastError();
    ASSERT_TRUE(CreateSymbolicLinkW(root + L"\\to-file.txt", temp.File(L"keep-file.txt"), 0)) << GetLastError();

    DeleteFolderTree(root);

    EXPECT_FALSE(PathFileExistsW(root));
    EXPECT_EQ(ReadFileBytes(outside + L"\\keep.txt"), "keep");
    EXPECT_EQ(ReadFileBytes(temp.File(L"keep-file.txt")), "file");
}

// The working folder itself may be a link: the link goes, never the folder behind it.
TEST(DeleteFolderTree, RemovesALinkedRootWithoutEmptyingItsTarget)
{
    TempFolder temp;
    CString outside = temp.File(L"precious");
    ASSERT_TRUE(CreateDirectoryW(outside, nullptr));
    ASSERT_TRUE(WriteFileBytes(outside + L"\\keep.txt", "keep"));
    CString root = temp.File(L"work");
    ASSERT_TRUE(CreateSymbolicLinkW(root, outside, SYMBOLIC_LINK_FLAG_DIRECTORY)) << GetLastError();

    DeleteFolderTree(root);

    EXPECT_EQ(ReadFileBytes(outside + L"\\keep.txt"), "keep");
}
