#include "install/ZipExtraction.h"

#include "install/DownloadTarget.h"
#include "win32/TextConversion.h"
#include "win32/UniqueResource.h"

// unzip.h first: iowin32.h relies on what it declares.
#include <unzip.h>
#include <iowin32.h>

#include <string>
#include <vector>

namespace {

struct UnzipTraits {
    static unzFile Invalid() noexcept { return nullptr; }
    static void Close(unzFile zip) noexcept { unzClose(zip); }
};
using unique_unzip = win32::UniqueResource<unzFile, UnzipTraits>;

constexpr uLong kUtf8NameFlag = 0x800;
constexpr int kHostUnix = 3;

// Entry names are UTF-8 when the archive says so, otherwise the original PC code page.
std::wstring DecodeEntryName(const std::string& raw, uLong flags)
{
    return win32::ToWide(raw, (flags & kUtf8NameFlag) ? CP_UTF8 : 437);
}

bool IsLinkEntry(const unz_file_info64& info)
{
    const int host = static_cast<int>(info.version >> 8);
    if (host == kHostUnix)
        return ((info.external_fa >> 16) & 0170000) == 0120000;
    return (info.external_fa & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsDirectoryEntry(const unz_file_info64& info, const std::wstring& name)
{
    if (!name.empty() && (name.back() == L'/' || name.back() == L'\\'))
        return true;
    const int host = static_cast<int>(info.version >> 8);
    if (host == kHostUnix)
        return ((info.external_fa >> 16) & 0170000) == 0040000;
    return (info.external_fa & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The entry's path below the extraction folder, or false when it must not be written
// there: absolute, with a drive or stream colon, with "..", or with a part that
// Windows would read differently from what the archive says (a device name, a
// trailing dot or blank).
bool RelativeEntryPath(const std::wstring& name, std::vector<std::wstring>& parts)
{
    parts.clear();
    if (name.empty() || name[0] == L'/' || name[0] == L'\\' || name.find(L':') != std::wstring::npos)
        return false;
    std::wstring part;
    auto flush = [&]() {
        if (part.empty() || part == L".") {
            part.clear();
            return true;
        }
        if (part == L".." || part.back() == L'.' || part.back() == L' ' || IsReservedDeviceName(part.c_str()))
            return false;
        for (wchar_t ch : part) {
            if (ch < 0x20 || wcschr(L"<>\"|?*", ch))
                return false;
        }
        parts.push_back(part);
        part.clear();
        return true;
    };
    for (wchar_t ch : name) {
        if (ch == L'/' || ch == L'\\') {
            if (!flush())
                return false;
        } else {
            part += ch;
        }
    }
    return flush() && !parts.empty();
}

std::wstring FullPath(const std::wstring& path)
{
    DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0)
        return std::wstring();
    std::wstring full(length, L'\0');
    length = GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
    full.resize(length);
    return full;
}

bool StartsWithFolder(const std::wstring& path, const std::wstring& folderWithSlash)
{
    return path.size() > folderWithSlash.size() &&
           _wcsnicmp(path.c_str(), folderWithSlash.c_str(), folderWithSlash.size()) == 0;
}

bool CreateFolderChain(const std::wstring& base, const std::vector<std::wstring>& parts, size_t count)
{
    std::wstring path = base;
    for (size_t i = 0; i < count; ++i) {
        path += L'\\';
        path += parts[i];
        if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return true;
}

// Writes the current entry to path, counting its bytes into written. False on a
// damaged entry, a write failure, or output beyond the limit; the file is then removed.
bool WriteEntry(unzFile zip, const std::wstring& path, uint64_t& written, uint64_t limit)
{
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return false;
    bool ok = true;
    {
        win32::unique_hfile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            unzCloseCurrentFile(zip);
            return false;
        }
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            int read = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
            if (read == 0)
                break;
            if (read < 0 || written + static_cast<uint64_t>(read) > limit) {
                ok = false;
                break;
            }
            written += static_cast<uint64_t>(read);
            DWORD done = 0;
            if (!WriteFile(file.get(), buffer.data(), static_cast<DWORD>(read), &done, nullptr) ||
                done != static_cast<DWORD>(read)) {
                ok = false;
                break;
            }
        }
    }
    // Closing checks the entry's CRC.
    if (unzCloseCurrentFile(zip) != UNZ_OK)
        ok = false;
    if (!ok)
        DeleteFileW(path.c_str());
    return ok;
}

} // namespace

bool ExtractZip(const CString& zipPath, const CString& folder, uint64_t outputLimit, uint64_t entryLimit)
{
    zlib_filefunc64_def io = {};
    fill_win32_filefunc64W(&io);
    unique_unzip zip(unzOpen2_64(zipPath.GetString(), &io));
    if (!zip)
        return false;
    unz_global_info64 global = {};
    // A count of 0xFFFF makes the reader walk the central directory to its end, however
    // many entries it holds (a 16-bit count that overflowed): such an archive is refused.
    if (unzGetGlobalInfo64(zip.get(), &global) != UNZ_OK || global.number_entry < 1 ||
        global.number_entry > entryLimit || global.number_entry == 0xFFFF)
        return false;

    std::wstring base = FullPath(folder.str());
    while (!base.empty() && base.back() == L'\\')
        base.pop_back();
    if (base.empty())
        return false;
    const std::wstring baseWithSlash = base + L'\\';

    uint64_t written = 0;
    for (int rc = unzGoToFirstFile(zip.get()); rc != UNZ_END_OF_LIST_OF_FILE; rc = unzGoToNextFile(zip.get())) {
        if (rc != UNZ_OK)
            return false;
        unz_file_info64 info = {};
        if (unzGetCurrentFileInfo64(zip.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return false;
        std::string raw(info.size_filename + 1, '\0');
        if (unzGetCurrentFileInfo64(zip.get(), &info, &raw[0], static_cast<uLong>(raw.size()), nullptr, 0, nullptr,
                                    0) != UNZ_OK)
            return false;
        raw.resize(info.size_filename);

        const std::wstring name = DecodeEntryName(raw, info.flag);
        std::vector<std::wstring> parts;
        if (IsLinkEntry(info) || !RelativeEntryPath(name, parts))
            continue;
        std::wstring target = base;
        for (const auto& part : parts)
            target += L'\\' + part;
        if (!StartsWithFolder(FullPath(target), baseWithSlash))
            continue;

        if (IsDirectoryEntry(info, name)) {
            if (!CreateFolderChain(base, parts, parts.size()))
                return false;
            continue;
        }
        if (!CreateFolderChain(base, parts, parts.size() - 1))
            return false;
        if (!WriteEntry(zip.get(), target, written, outputLimit))
            return false;
    }
    return true;
}
