// The program's own text encodings: lower-case hexadecimal SHA-256 digests, UTF-8 to
// UTF-16, and base 62 of byte strings.
#pragma once

#include <string>

// The 64-character lower-case hexadecimal SHA-256 digest of the bytes (platform CNG).
// Throws std::runtime_error when the platform cannot hash.
std::string Sha256Hex(const std::string& bytes);

// UTF-16 form of UTF-8 text; throws std::runtime_error when the platform cannot convert it.
std::wstring Utf8ToWide(const std::string& text);

// Base-62 text of the bytes, most significant digit first, alphabet 0-9 a-z A-Z.
// Leading zero bytes leave no trace. Throws std::runtime_error("Non-zero carry") if the
// digit buffer ever overflows.
std::string Base62Encode(const std::string& bytes);
