#include "config/PrivateFolder.h"

#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

namespace {

// The user the process runs as, as an SID string ("S-1-5-21-...").
std::wstring CurrentUserSid()
{
    win32::unique_handle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put()))
        return std::wstring();
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0)
        return std::wstring();
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size))
        return std::wstring();
    PWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return std::wstring();
    win32::unique_hlocal owned(text);
    return text;
}

} // namespace

win32::unique_hlocal PrivateFolderSecurity()
{
    const std::wstring user = CurrentUserSid();
    if (user.empty())
        return win32::unique_hlocal();
    // The installers the wizard downloads wait here between their download and their
    // start: a process of another user, or an unelevated one of a standard user, must
    // not be able to replace them.
    const std::wstring list = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + user + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(list.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return win32::unique_hlocal();
    return win32::unique_hlocal(descriptor);
}

bool CreatePrivateFolder(const wchar_t* path)
{
    win32::unique_hlocal descriptor = PrivateFolderSecurity();
    if (!descriptor) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return false;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
    return CreateDirectoryW(path, &attributes) != FALSE;
}
