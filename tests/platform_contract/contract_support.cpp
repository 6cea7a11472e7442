#include "contract_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace contract {

WideText Widen(const std::string& ascii) {
    WideText out;
    for (char c : ascii) out += static_cast<WCHAR>(static_cast<unsigned char>(c));
    return out;
}

std::string Show(const WCHAR* text, size_t length) {
    std::string out;
    for (size_t i = 0; i < length; ++i) {
        unsigned unit = static_cast<unsigned>(text[i]);
        if (unit >= 0x20 && unit < 0x7f && unit != '\\') {
            out += static_cast<char>(unit);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", unit);
            out += escaped;
        }
    }
    return out;
}

std::string Show(const WideText& text) { return Show(text.data(), text.size()); }

std::string Show(const WCHAR* text) {
    if (!text) return "(null)";
    size_t length = 0;
    while (text[length]) ++length;
    return Show(text, length);
}

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info) return "NoTest";
    return std::string(info->test_suite_name()) + "." + info->name();
}

LONG DeleteKeyTree(HKEY parent, LPCWSTR name) {
    HKEY key = nullptr;
    LONG ret = RegOpenKeyExW(parent, name, 0, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, &key);
    if (ret != ERROR_SUCCESS) return ret;
    // Always enumerate index 0: each pass deletes the child it found.
    for (;;) {
        WCHAR child[256];
        DWORD cchChild = sizeof child / sizeof child[0];
        ret = RegEnumKeyExW(key, 0, child, &cchChild, nullptr, nullptr, nullptr, nullptr);
        if (ret == ERROR_NO_MORE_ITEMS) break;
        if (ret == ERROR_SUCCESS) ret = DeleteKeyTree(key, child);
        if (ret != ERROR_SUCCESS) {
            RegCloseKey(key);
            return ret;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyW(parent, name);
}

namespace {
const WCHAR kTestRoot[] = TEXT("Software\\DrovanTest");
}

TestKey::TestKey() : m_path(WideText(kTestRoot) + TEXT("\\") + Widen(CurrentTestName())) {
    // A run that crashed may have left the key behind; start from nothing.
    DeleteKeyTree(HKEY_CURRENT_USER, m_path.c_str());
    DWORD disposition = 0;
    LONG ret = RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                               nullptr, &m_key, &disposition);
    if (ret != ERROR_SUCCESS) {
        m_key = nullptr;
        ADD_FAILURE() << "cannot create the test key HKCU\\" << Show(m_path) << ": error " << ret;
    }
}

TestKey::~TestKey() {
    if (m_key) RegCloseKey(m_key);
    LONG ret = DeleteKeyTree(HKEY_CURRENT_USER, m_path.c_str());
    EXPECT_TRUE(ret == ERROR_SUCCESS || ret == ERROR_FILE_NOT_FOUND)
        << "cannot delete the test key HKCU\\" << Show(m_path) << ": error " << ret;
    // Leaves the shared parent while other tests still have keys below it.
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestRoot);
}

WideText TestKey::Below(const WCHAR* child) const { return m_path + TEXT("\\") + child; }

ScratchFolder::ScratchFolder() {
    std::string name = "DrovanContract-" + std::to_string(GetCurrentProcessId()) + "-" +
                       CurrentTestName();
    for (char& c : name)
        if (c == '.' || c == '/') c = '-';
    m_name = name;
    m_path = Widen(name);
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(m_name), ec);
    if (!CreateDirectoryW(m_path.c_str(), nullptr))
        ADD_FAILURE() << "cannot create the scratch folder " << m_name << ": error "
                      << GetLastError();
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(std::filesystem::path(m_name), ec);
    EXPECT_FALSE(ec) << "cannot remove the scratch folder " << m_name << ": " << ec.message();
}

WideText ScratchFolder::File(const WCHAR* name) const { return m_path + TEXT("\\") + name; }

}  // namespace contract
