// Owners of CNG handles: algorithm providers and hash objects.
#pragma once

#include "win32/UniqueResource.h"

#include <bcrypt.h>

namespace win32 {

struct BCryptAlgorithmTraits {
    static BCRYPT_ALG_HANDLE Invalid() noexcept { return nullptr; }
    static void Close(BCRYPT_ALG_HANDLE h) noexcept { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct BCryptHashTraits {
    static BCRYPT_HASH_HANDLE Invalid() noexcept { return nullptr; }
    static void Close(BCRYPT_HASH_HANDLE h) noexcept { ::BCryptDestroyHash(h); }
};
using unique_bcrypt_algorithm = UniqueResource<BCRYPT_ALG_HANDLE, BCryptAlgorithmTraits>;
using unique_bcrypt_hash = UniqueResource<BCRYPT_HASH_HANDLE, BCryptHashTraits>;

} // namespace win32
