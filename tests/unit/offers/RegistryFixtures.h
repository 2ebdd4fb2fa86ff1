// Registry keys that a test writes into the real registry and removes afterwards.
#pragma once

#include "win32/UniqueResource.h"

#include <string>

namespace offers_testing {

// A key name no other test program uses: OrvaneTest, the process id and a counter.
std::wstring UniqueKeyName();

// One key (and its parents) in one view, removed with everything below it.
class ScratchKey {
public:
    // view: KEY_WOW64_64KEY for the 64-bit keys, KEY_WOW64_32KEY for Wow6432Node.
    ScratchKey(HKEY root, const std::wstring& path, REGSAM view = KEY_WOW64_64KEY);
    ~ScratchKey();
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;

    HKEY Get() const { return m_key.get(); }
    const std::wstring& Path() const { return m_path; }

    ScratchKey& SetString(const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ);
    ScratchKey& SetDword(const std::wstring& name, DWORD value);
    ScratchKey& SetQword(const std::wstring& name, ULONGLONG value);
    ScratchKey& SetBinary(const std::wstring& name, const std::string& bytes);
    ScratchKey& AddSubkey(const std::wstring& name);

private:
    HKEY m_root;
    std::wstring m_path;
    REGSAM m_view;
    win32::unique_hkey m_key;
};

} // namespace offers_testing
