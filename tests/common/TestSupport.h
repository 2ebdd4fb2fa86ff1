// Helpers shared by the unit test programs.
#pragma once

#include "framework/CString.h"
#include "win32/UniqueResource.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <ostream>

// GoogleTest prints CString values as text, not as pointers.
inline void PrintTo(const CString& text, std::ostream* os)
{
    *os << '"' << ToAnsi(text) << '"';
}

namespace testing_support {

// Redirects one predefined registry root (HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER) to a
// fresh key under HKEY_CURRENT_USER\Software\OrvaneTests for the life of the object.
class RegistrySandbox {
public:
    explicit RegistrySandbox(HKEY root);
    ~RegistrySandbox();
    // A key below the sandbox root, created on demand.
    HKEY Root() const { return m_sandbox.get(); }
    void SetString(const wchar_t* subKey, const wchar_t* name, const wchar_t* value);

private:
    HKEY m_root;
    std::wstring m_path;
    win32::unique_hkey m_sandbox;
};

// Watches this process's windows for message boxes and answers each with a button,
// keeping their texts and captions.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(int button = IDOK);
    ~MessageBoxAnswerer();
    std::vector<std::wstring> Texts() const;
    std::vector<std::wstring> Captions() const;

private:
    void Watch();
    int m_button;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_lock;
    std::vector<std::wstring> m_texts;
    std::vector<std::wstring> m_captions;
    std::thread m_thread;
};

// While it lives, a crash of the process first prints the seed and the case of a
// randomised test, so a case that kills the process can be run again.
class RandomCaseReport {
public:
    explicit RandomCaseReport(unsigned seed);
    ~RandomCaseReport();
    RandomCaseReport(const RandomCaseReport&) = delete;
    RandomCaseReport& operator=(const RandomCaseReport&) = delete;
    void SetCase(int number);

private:
    LPTOP_LEVEL_EXCEPTION_FILTER m_previous;
};

// A folder of its own in the temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const CString& Path() const { return m_path; }
    CString File(const wchar_t* name) const { return m_path + L"\\" + name; }

private:
    CString m_path;
};

// Gives the calling thread another locale (and with it another ANSI code page) for the
// life of the object.
class ThreadLocale {
public:
    explicit ThreadLocale(LANGID language) : m_previous(GetThreadLocale())
    {
        SetThreadLocale(MAKELCID(language, SORT_DEFAULT));
    }
    ~ThreadLocale() { SetThreadLocale(m_previous); }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

private:
    LCID m_previous;
};

void RemoveTree(const CString& path);
bool WriteFileBytes(const CString& path, const std::string& bytes);
std::string ReadFileBytes(const CString& path);

} // namespace testing_support
