// Helpers shared by the platform contract tests. Only Win32 through platform/win32.h and
// the standard library: these tests also run against real Windows.
#pragma once

#include <string>

#include "platform/win32.h"

namespace contract {

using WideText = std::basic_string<WCHAR>;

// Set as the last error before a call, so that a call which should leave the error alone,
// or should set it, is caught when it does not.
constexpr DWORD kPoison = 0xdeadbeef;

// ASCII to UTF-16 (test names, folder names).
WideText Widen(const std::string& ascii);
// Printable form of UTF-16 text for failure messages: ASCII as is, the rest as \uXXXX.
std::string Show(const WCHAR* text, size_t length);
std::string Show(const WideText& text);
std::string Show(const WCHAR* text);

// "Suite.Name" of the running test.
std::string CurrentTestName();

// Deletes name below parent with everything under it (RegDeleteKeyW deletes leaf keys
// only). Returns the first failure, ERROR_SUCCESS when the tree is gone.
LONG DeleteKeyTree(HKEY parent, LPCWSTR name);

// HKEY_CURRENT_USER\Software\DrovanTest\<Suite.Name>, created fresh (KEY_ALL_ACCESS) for
// the running test and deleted with everything below it when the test ends.
class TestKey {
public:
    TestKey();
    ~TestKey();
    TestKey(const TestKey&) = delete;
    TestKey& operator=(const TestKey&) = delete;

    HKEY Handle() const { return m_key; }
    // The key's path below HKEY_CURRENT_USER.
    const WideText& Path() const { return m_path; }
    // Path() + "\\" + child.
    WideText Below(const WCHAR* child) const;

private:
    WideText m_path;
    HKEY m_key = nullptr;
};

// A folder below the current directory for the running test's files, removed with its
// contents when the test ends.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const WideText& Path() const { return m_path; }
    WideText File(const WCHAR* name) const;

private:
    std::string m_name;
    WideText m_path;
};

}  // namespace contract
