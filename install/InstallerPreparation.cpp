#include "install/InstallerPreparation.h"

#include "install/ZipExtraction.h"
#include "win32/UniqueResource.h"

#include <shlwapi.h>

int DetectArchive(const CString& path)
{
    win32::unique_hfile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ArchiveNone;
    unsigned char head[6] = {};
    DWORD read = 0;
    if (!ReadFile(file.get(), head, sizeof(head), &read, nullptr) || read == 0)
        return ArchiveNone;

    static const unsigned char sevenZip[6] = {0x37, 0x7A, 0xBC, 0xAF, 0x27, 0x1C};
    static const unsigned char zip[4] = {0x50, 0x4B, 0x03, 0x04};
    if (memcmp(head, sevenZip, sizeof(sevenZip)) == 0)
        return ArchiveSevenZip;
    if (memcmp(head, zip, sizeof(zip)) == 0)
        return ArchiveZip;
    return ArchiveNone;
}

CString MakeExtractionFolder(const CString& archivePath, const CString& parentFolder)
{
    CString name;
    int slash = archivePath.ReverseFind(L'\\');
    if (slash >= 0) {
        name = L"\\" + archivePath.Mid(slash + 1);
        int dot = name.ReverseFind(L'.');
        if (dot >= 0)
            name = name.Left(dot);
    }
    CString folder = parentFolder + name;
    if (CreateDirectoryW(folder, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return folder;
    return parentFolder;
}

CString FindFirstExecutable(const CString& folder)
{
    wchar_t pattern[MAX_PATH] = {};
    if (folder.GetLength() + 6 >= MAX_PATH)
        return CString();
    wcscpy_s(pattern, folder.GetString());
    wcscat_s(pattern, L"\\*.exe");

    WIN32_FIND_DATAW entry = {};
    win32::unique_hfind search(FindFirstFileW(pattern, &entry));
    if (!search)
        return CString();
    // The pattern also matches through short names (setup.exe1 is SETUP~1.EXE): only
    // files whose own name ends in ".exe" count.
    auto isProgram = [](const WIN32_FIND_DATAW& found) {
        size_t length = wcslen(found.cFileName);
        return !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && length > 4 &&
               _wcsicmp(found.cFileName + length - 4, L".exe") == 0;
    };
    while (!isProgram(entry)) {
        if (!FindNextFileW(search.get(), &entry))
            return CString();
    }
    return CString(entry.cFileName);
}

CString PrepareInstaller(const CString& path, int kind, const CString& parentFolder)
{
    if (kind != ArchiveZip)
        return path;
    CString folder = MakeExtractionFolder(path, parentFolder);
    if (!ExtractZip(path, folder))
        return path;
    CString name = FindFirstExecutable(folder);
    if (name.IsEmpty())
        return path;
    wchar_t joined[MAX_PATH] = {};
    if (folder.GetLength() >= MAX_PATH)
        return path;
    wcscpy_s(joined, folder.GetString());
    if (!PathAppendW(joined, name))
        return path;
    return CString(joined);
}
