#include "install/PayloadDigest.h"

#include "win32/BCryptHandle.h"
#include "win32/UniqueResource.h"

#include <cctype>
#include <vector>

bool IsSha256Text(const std::string& text)
{
    if (text.size() != 64)
        return false;
    for (char ch : text)
        if (!std::isxdigit(static_cast<unsigned char>(ch)))
            return false;
    return true;
}

bool Sha256OfFile(const CString& path, std::string& hex)
{
    win32::unique_bcrypt_algorithm algorithm;
    win32::unique_bcrypt_hash hash;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
        !BCRYPT_SUCCESS(BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0)))
        return false;
    win32::unique_hfile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0)
            break;
        if (!BCRYPT_SUCCESS(BCryptHashData(hash.get(), buffer.data(), read, 0)))
            return false;
    }
    unsigned char digest[32] = {};
    if (!BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest, sizeof(digest), 0)))
        return false;
    static const char digits[] = "0123456789abcdef";
    hex.clear();
    for (unsigned char byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return true;
}

CString CheckSha256(const CString& path, const std::string& expected)
{
    if (expected.empty())
        return CString();
    std::string wanted = expected;
    for (auto& ch : wanted)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string actual;
    if (!Sha256OfFile(path, actual))
        return CString(L"Failed to read the downloaded file to check its SHA-256 digest.");
    if (actual == wanted)
        return CString();
    return CString(L"The downloaded file does not match its SHA-256 digest: expected ") + CString(wanted.c_str()) +
           L", got " + CString(actual.c_str()) + L".";
}
