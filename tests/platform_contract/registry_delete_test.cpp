// Deleting values and keys, handles to deleted keys, and closing key handles.
#include <gtest/gtest.h>

#include "contract_support.h"

namespace contract {
namespace {

TEST(RegDeleteValue, RemovesOnlyExistingValues) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    const DWORD number = 1;
    ASSERT_EQ(RegSetValueExW(test.Handle(), TEXT("Doomed"), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&number), sizeof number),
              ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(test.Handle(), TEXT("Missing")), ERROR_FILE_NOT_FOUND)
        << "deleting a value that does not exist";
    EXPECT_EQ(RegDeleteValueW(test.Handle(), TEXT("DOOMED")), ERROR_SUCCESS)
        << "value names are matched ignoring case";
    EXPECT_EQ(RegQueryValueExW(test.Handle(), TEXT("Doomed"), nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND)
        << "the value is gone";
    EXPECT_EQ(RegDeleteValueW(test.Handle(), TEXT("Doomed")), ERROR_FILE_NOT_FOUND)
        << "a value is deleted only once";
}

TEST(RegDeleteKey, DeletesLeafKeysOnly) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(test.Handle(), TEXT("Parent\\Child"), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);

    EXPECT_EQ(RegDeleteKeyW(test.Handle(), TEXT("Parent")), ERROR_ACCESS_DENIED)
        << "a key with subkeys cannot be deleted";
    EXPECT_EQ(RegOpenKeyExW(test.Handle(), TEXT("Parent\\Child"), 0, KEY_READ, &key), ERROR_SUCCESS)
        << "the refused delete removed nothing";
    RegCloseKey(key);

    EXPECT_EQ(RegDeleteKeyW(test.Handle(), TEXT("Missing")), ERROR_FILE_NOT_FOUND)
        << "deleting a key that does not exist";
    EXPECT_EQ(RegDeleteKeyW(test.Handle(), nullptr), ERROR_INVALID_PARAMETER)
        << "a NULL subkey is refused, not taken as the key itself";

    EXPECT_EQ(RegDeleteKeyW(test.Handle(), TEXT("Parent\\Child")), ERROR_SUCCESS)
        << "a path to a leaf key";
    EXPECT_EQ(RegDeleteKeyW(test.Handle(), TEXT("PARENT")), ERROR_SUCCESS)
        << "the parent, a leaf now, named in another case";
    EXPECT_EQ(RegOpenKeyExW(test.Handle(), TEXT("Parent"), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
        << "the key is gone";
}

TEST(RegDeleteKey, EmptySubkeyDeletesTheHandlesOwnKey) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    HKEY doomed = nullptr;
    ASSERT_EQ(RegCreateKeyExW(test.Handle(), TEXT("Doomed"), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &doomed, nullptr),
              ERROR_SUCCESS);
    HKEY other = nullptr;
    ASSERT_EQ(RegOpenKeyExW(test.Handle(), TEXT("Doomed"), 0, KEY_ALL_ACCESS, &other),
              ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteKeyW(doomed, TEXT("")), ERROR_SUCCESS) << "\"\" names the handle's own key";
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(test.Handle(), TEXT("Doomed"), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
        << "the key is gone";

    // Every handle still open on the deleted key now fails.
    for (HKEY stale : {doomed, other}) {
        SCOPED_TRACE(stale == doomed ? "the deleting handle" : "another handle");
        DWORD cbData = 0;
        EXPECT_EQ(RegQueryValueExW(stale, TEXT("x"), nullptr, nullptr, nullptr, &cbData),
                  ERROR_KEY_DELETED);
        const DWORD number = 1;
        EXPECT_EQ(RegSetValueExW(stale, TEXT("x"), 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&number), sizeof number),
                  ERROR_KEY_DELETED)
            << "nothing can be written to a deleted key";
        WCHAR name[16];
        DWORD cchName = 16;
        EXPECT_EQ(RegEnumKeyExW(stale, 0, name, &cchName, nullptr, nullptr, nullptr, nullptr),
                  ERROR_KEY_DELETED);
        cchName = 16;
        EXPECT_EQ(RegEnumValueW(stale, 0, name, &cchName, nullptr, nullptr, nullptr, nullptr),
                  ERROR_KEY_DELETED);
        HKEY child = nullptr;
        EXPECT_EQ(RegCreateKeyExW(stale, TEXT("Child"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &child, nullptr),
                  ERROR_KEY_DELETED)
            << "no subkey can be made under a deleted key";
        EXPECT_EQ(RegCloseKey(stale), ERROR_SUCCESS) << "a handle to a deleted key still closes";
    }
    EXPECT_EQ(RegOpenKeyExW(test.Handle(), TEXT("Doomed"), 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND)
        << "the stale handles did not bring the key back";

    // A key of the same name made again is a new key, empty.
    ASSERT_EQ(RegCreateKeyExW(test.Handle(), TEXT("Doomed"), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    WCHAR name[16];
    DWORD cchName = 16;
    EXPECT_EQ(RegEnumValueW(key, 0, name, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST(RegCloseKey, SecondCloseFailsAndPredefinedKeysClose) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test.Path().c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE) << "a handle closes once";
    EXPECT_EQ(RegCloseKey(nullptr), ERROR_INVALID_HANDLE) << "NULL is not a key";

    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS) << "a predefined key closes";
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test.Path().c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS)
        << "a predefined key stays usable after it was closed";
    RegCloseKey(key);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS) << "a predefined key closes";
}

}  // namespace
}  // namespace contract
