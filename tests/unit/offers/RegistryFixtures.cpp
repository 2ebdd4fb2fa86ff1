#include "tests/unit/offers/RegistryFixtures.h"

#include <atomic>
#include <stdexcept>

namespace offers_testing {

std::wstring UniqueKeyName()
{
    static std::atomic<int> counter{0};
    return L"OrvaneTest" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(counter++);
}

ScratchKey::ScratchKey(HKEY root, const std::wstring& path, REGSAM view) : m_root(root), m_path(path), m_view(view)
{
    LSTATUS status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, m_key.put(),
                                     nullptr);
    if (status != ERROR_SUCCESS)
        throw std::runtime_error("test key could not be created");
}

ScratchKey::~ScratchKey()
{
    RegDeleteTreeW(m_key.get(), nullptr);
    m_key.reset();
    RegDeleteKeyExW(m_root, m_path.c_str(), m_view, 0);
}

ScratchKey& ScratchKey::SetString(const std::wstring& name, const std::wstring& value, DWORD type)
{
    RegSetValueExW(m_key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return *this;
}

ScratchKey& ScratchKey::SetDword(const std::wstring& name, DWORD value)
{
    RegSetValueExW(m_key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    return *this;
}

ScratchKey& ScratchKey::SetQword(const std::wstring& name, ULONGLONG value)
{
    RegSetValueExW(m_key.get(), name.c_str(), 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    return *this;
}

ScratchKey& ScratchKey::SetBinary(const std::wstring& name, const std::string& bytes)
{
    RegSetValueExW(m_key.get(), name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                   static_cast<DWORD>(bytes.size()));
    return *this;
}

ScratchKey& ScratchKey::AddSubkey(const std::wstring& name)
{
    win32::unique_hkey child;
    RegCreateKeyExW(m_key.get(), name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | m_view, nullptr, child.put(), nullptr);
    return *this;
}

} // namespace offers_testing
