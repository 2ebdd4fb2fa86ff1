// The SHA-256 digest that the configuration may give for a downloaded file.
#pragma once

#include "framework/CString.h"

#include <string>

// Whether text is a digest the wizard can check: 64 hexadecimal digits, either case.
bool IsSha256Text(const std::string& text);

// The lower-case hexadecimal SHA-256 digest of the file at path; false when the file
// cannot be read through.
bool Sha256OfFile(const CString& path, std::string& hex);

// Empty when the file at path has the expected digest (or none is expected); otherwise
// the text of the failure, naming both digests.
CString CheckSha256(const CString& path, const std::string& expected);
