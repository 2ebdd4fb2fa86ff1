#include "net/Encodings.h"

#include "win32/BCryptHandle.h"
#include "win32/TextConversion.h"

#include <cmath>
#include <stdexcept>
#include <vector>

namespace {

bool Succeeded(NTSTATUS status)
{
    return status >= 0;
}

} // namespace

std::string Sha256Hex(const std::string& bytes)
{
    win32::unique_bcrypt_algorithm algorithm;
    if (!Succeeded(BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        throw std::runtime_error("SHA-256 is not available");
    win32::unique_bcrypt_hash hash;
    if (!Succeeded(BCryptCreateHash(algorithm.get(), hash.put(), nullptr, 0, nullptr, 0, 0)))
        throw std::runtime_error("SHA-256 hash cannot be created");
    // Hashed in slices: the platform takes at most a 32-bit length at a time.
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t left = bytes.size();
    while (left > 0) {
        const ULONG slice = static_cast<ULONG>(left > 0x40000000 ? 0x40000000 : left);
        if (!Succeeded(BCryptHashData(hash.get(), const_cast<PUCHAR>(data), slice, 0)))
            throw std::runtime_error("SHA-256 hashing failed");
        data += slice;
        left -= slice;
    }
    unsigned char digest[32] = {};
    if (!Succeeded(BCryptFinishHash(hash.get(), digest, sizeof(digest), 0)))
        throw std::runtime_error("SHA-256 hashing failed");

    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(64);
    for (unsigned char byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    return hex;
}

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    std::wstring wide = win32::ToWide(text, CP_UTF8);
    // An empty result from a non-empty input is the conversion's failure (a count of 0).
    if (wide.empty())
        throw std::runtime_error("MultiByteToWideChar() failed: 0");
    return wide;
}

std::string Base62Encode(const std::string& bytes)
{
    static const char alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    if (bytes.empty())
        return std::string();

    size_t zeros = 0;
    while (zeros < bytes.size() && bytes[zeros] == '\0')
        ++zeros;

    const double factor = std::log(256.0) / std::log(62.0);
    const size_t size = static_cast<size_t>(std::ceil(factor * static_cast<double>(bytes.size() - zeros)));
    std::vector<unsigned char> digits(size, 0);
    size_t used = 0;
    for (size_t i = zeros; i < bytes.size(); ++i) {
        unsigned int carry = static_cast<unsigned char>(bytes[i]);
        size_t visited = 0;
        for (auto digit = digits.rbegin(); (carry != 0 || visited < used) && digit != digits.rend(); ++digit, ++visited) {
            carry += 256u * *digit;
            *digit = static_cast<unsigned char>(carry % 62);
            carry /= 62;
        }
        if (carry != 0)
            throw std::runtime_error("Non-zero carry");
        used = visited;
    }

    size_t first = 0;
    while (first < digits.size() && digits[first] == 0)
        ++first;
    std::string text;
    text.reserve(digits.size() - first);
    for (size_t i = first; i < digits.size(); ++i)
        text += alphabet[digits[i]];
    return text;
}
