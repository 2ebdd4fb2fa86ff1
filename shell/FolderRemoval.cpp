#include "shell/FolderRemoval.h"

#include "win32/UniqueResource.h"

#include <shlwapi.h>

namespace {

void RemoveLater(const CString& path)
{
    ::MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void DeleteEntry(const CString& path)
{
    if (::DeleteFileW(path))
        return;
    DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION)
        RemoveLater(path);
}

void RemoveFolder(const CString& path)
{
    if (!::RemoveDirectoryW(path))
        RemoveLater(path);
}

void DeleteContents(const CString& path)
{
    WIN32_FIND_DATAW found = {};
    win32::unique_hfind search(::FindFirstFileW(path + L"\\*.*", &found));
    if (!search)
        return;
    do {
        CString name(found.cFileName);
        if (name == L"." || name == L"..")
            continue;
        CString entry = path + L"\\" + name;
        const bool directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        const bool link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (directory && link) {
            // A junction or directory link: remove the link, keep what it points to.
            RemoveFolder(entry);
        } else if (directory) {
            DeleteContents(entry);
            RemoveFolder(entry);
        } else {
            DeleteEntry(entry);
        }
    } while (::FindNextFileW(search.get(), &found));
}

} // namespace

void DeleteFolderTree(const CString& path)
{
    if (path.IsEmpty() || !::PathFileExistsW(path))
        return;
    // The folder itself may be a link: only the link goes.
    DWORD attributes = ::GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveFolder(path);
        return;
    }
    if (!::PathIsDirectoryEmptyW(path))
        DeleteContents(path);
    RemoveFolder(path);
}
