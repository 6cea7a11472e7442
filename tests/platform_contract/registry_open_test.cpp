// Opening and creating registry keys: paths, names, handles and access rights.
#include <gtest/gtest.h>

#include "contract_support.h"

namespace contract {
namespace {

// Reads a REG_DWORD through key, or returns kPoison with the error in *error.
DWORD ReadDword(HKEY key, const WCHAR* name, LONG* error) {
    DWORD value = kPoison, cbValue = sizeof value, type = kPoison;
    *error = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &cbValue);
    return *error == ERROR_SUCCESS && type == REG_DWORD ? value : kPoison;
}

LONG WriteDword(HKEY key, const WCHAR* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

TEST(RegOpenKey, MissingKeyIsNotFoundAndLeavesNoHandle) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    HKEY key = nullptr;
    LONG ret = RegOpenKeyExW(test.Handle(), TEXT("NoSuchKey"), 0, KEY_READ, &key);
    EXPECT_EQ(ret, ERROR_FILE_NOT_FOUND) << "a missing subkey cannot be opened";
    ret = RegOpenKeyExW(test.Handle(), TEXT("NoSuchKey\\Deeper"), 0, KEY_READ, &key);
    EXPECT_EQ(ret, ERROR_FILE_NOT_FOUND) << "a key below a missing key cannot be opened";
    // Opening never creates.
    ret = RegOpenKeyExW(test.Handle(), TEXT("NoSuchKey"), 0, KEY_READ, &key);
    EXPECT_EQ(ret, ERROR_FILE_NOT_FOUND) << "the failed open must not have created the key";
}

TEST(RegOpenKey, NullOrEmptySubkeyOpensTheSameKey) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    ASSERT_EQ(WriteDword(test.Handle(), TEXT("Marker"), 0x1234), ERROR_SUCCESS);

    for (const WCHAR* subkey : {static_cast<const WCHAR*>(nullptr), TEXT("")}) {
        SCOPED_TRACE(subkey ? "empty subkey" : "NULL subkey");
        HKEY again = nullptr;
        LONG ret = RegOpenKeyExW(test.Handle(), subkey, 0, KEY_READ | KEY_SET_VALUE, &again);
        ASSERT_EQ(ret, ERROR_SUCCESS) << "expected a new handle to the same key";
        EXPECT_NE(again, test.Handle()) << "expected a new handle, not the same one";
        LONG error = 0;
        EXPECT_EQ(ReadDword(again, TEXT("Marker"), &error), 0x1234u)
            << "the new handle should see the value written through the first (error " << error << ")";
        // Writes through the new handle are seen through the first.
        ASSERT_EQ(WriteDword(again, TEXT("Second"), 0x5678), ERROR_SUCCESS);
        EXPECT_EQ(ReadDword(test.Handle(), TEXT("Second"), &error), 0x5678u)
            << "both handles should name one key (error " << error << ")";
        EXPECT_EQ(RegCloseKey(again), ERROR_SUCCESS);
    }
}

TEST(RegOpenKey, BackslashesAndCaseInNames) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    HKEY child = nullptr;
    ASSERT_EQ(RegCreateKeyExW(test.Handle(), TEXT("MixedCase"), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &child, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(WriteDword(child, TEXT("Marker"), 7), ERROR_SUCCESS);
    RegCloseKey(child);

    HKEY key = nullptr;
    LONG ret = RegOpenKeyExW(test.Handle(), TEXT("\\MixedCase"), 0, KEY_READ, &key);
    EXPECT_EQ(ret, ERROR_BAD_PATHNAME) << "a subkey path must not begin with a backslash";
    if (ret == ERROR_SUCCESS) RegCloseKey(key);

    ret = RegOpenKeyExW(test.Handle(), TEXT("MixedCase\\"), 0, KEY_READ, &key);
    EXPECT_EQ(ret, ERROR_SUCCESS) << "a trailing backslash is allowed";
    if (ret == ERROR_SUCCESS) RegCloseKey(key);

    // The full path from the predefined key works too, in any case.
    WideText upper;
    for (WCHAR c : test.Below(TEXT("MIXEDCASE")))
        upper += (c >= 'a' && c <= 'z') ? static_cast<WCHAR>(c - 'a' + 'A') : c;
    ret = RegOpenKeyExW(HKEY_CURRENT_USER, upper.c_str(), 0, KEY_READ, &key);
    ASSERT_EQ(ret, ERROR_SUCCESS) << "key names are case-insensitive: " << Show(upper);
    LONG error = 0;
    EXPECT_EQ(ReadDword(key, TEXT("MARKER"), &error), 7u)
        << "value names are case-insensitive (error " << error << ")";
    RegCloseKey(key);

    // Opening or creating under another case keeps the name as first created.
    DWORD disposition = kPoison;
    ASSERT_EQ(RegCreateKeyExW(test.Handle(), TEXT("mixedcase"), 0, nullptr, 0, KEY_READ, nullptr,
                              &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY))
        << "a name differing only in case names the existing key";
    RegCloseKey(key);
    WCHAR name[64];
    DWORD cchName = 64;
    ASSERT_EQ(RegEnumKeyExW(test.Handle(), 0, name, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(Show(name), "MixedCase") << "the key keeps the case it was created with";
    cchName = 64;
    DWORD cbData = 0;
    ASSERT_EQ(RegOpenKeyExW(test.Handle(), TEXT("MixedCase"), 0, KEY_READ, &key), ERROR_SUCCESS);
    ASSERT_EQ(RegEnumValueW(key, 0, name, &cchName, nullptr, nullptr, nullptr, &cbData),
              ERROR_SUCCESS);
    EXPECT_EQ(Show(name), "Marker") << "the value keeps the case it was written with";
    RegCloseKey(key);
}

TEST(RegOpenKey, BadArguments) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    LONG ret = RegOpenKeyExW(HKEY_CURRENT_USER, test.Path().c_str(), 0, KEY_READ, nullptr);
    EXPECT_EQ(ret, ERROR_INVALID_PARAMETER) << "phkResult is required";

    HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(kPoison));
    ret = RegOpenKeyExW(nullptr, TEXT("Software"), 0, KEY_READ, &key);
    EXPECT_EQ(ret, ERROR_INVALID_HANDLE) << "a NULL parent key is not a key";

    HKEY closed = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test.Path().c_str(), 0, KEY_READ, &closed),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    ret = RegOpenKeyExW(closed, nullptr, 0, KEY_READ, &key);
    EXPECT_EQ(ret, ERROR_INVALID_HANDLE) << "a closed key handle is not a key";
    DWORD cbData = 0;
    ret = RegQueryValueExW(closed, TEXT("x"), nullptr, nullptr, nullptr, &cbData);
    EXPECT_EQ(ret, ERROR_INVALID_HANDLE) << "a closed key handle cannot be queried";
}

TEST(RegCreateKey, CreatesIntermediateKeysAndReportsDisposition) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    HKEY key = nullptr;
    DWORD disposition = kPoison;
    LONG ret = RegCreateKeyExW(test.Handle(), TEXT("One\\Two\\Three"), 0, nullptr, 0,
                               KEY_ALL_ACCESS, nullptr, &key, &disposition);
    ASSERT_EQ(ret, ERROR_SUCCESS) << "a path of missing keys is created in one call";
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);

    HKEY middle = nullptr;
    EXPECT_EQ(RegOpenKeyExW(test.Handle(), TEXT("One\\Two"), 0, KEY_READ, &middle), ERROR_SUCCESS)
        << "the intermediate keys exist afterwards";
    RegCloseKey(middle);

    disposition = kPoison;
    ret = RegCreateKeyExW(test.Handle(), TEXT("One\\Two\\Three"), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, &disposition);
    ASSERT_EQ(ret, ERROR_SUCCESS) << "creating an existing key opens it";
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);

    // The disposition pointer is optional.
    ret = RegCreateKeyExW(test.Handle(), TEXT("Four"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key, nullptr);
    EXPECT_EQ(ret, ERROR_SUCCESS) << "lpdwDisposition may be NULL";
    if (ret == ERROR_SUCCESS) RegCloseKey(key);

    ret = RegCreateKeyExW(test.Handle(), TEXT("\\Five"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key, nullptr);
    EXPECT_EQ(ret, ERROR_BAD_PATHNAME) << "a subkey path must not begin with a backslash";
    if (ret == ERROR_SUCCESS) RegCloseKey(key);
}

TEST(RegAccess, QueryOnlyKeyRefusesChanges) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    ASSERT_EQ(WriteDword(test.Handle(), TEXT("Existing"), 1), ERROR_SUCCESS);

    for (REGSAM access : {static_cast<REGSAM>(KEY_QUERY_VALUE), static_cast<REGSAM>(KEY_READ)}) {
        SCOPED_TRACE(access == KEY_READ ? "KEY_READ" : "KEY_QUERY_VALUE");
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test.Path().c_str(), 0, access, &key),
                  ERROR_SUCCESS);
        LONG error = 0;
        EXPECT_EQ(ReadDword(key, TEXT("Existing"), &error), 1u)
            << "a key opened for query can be read (error " << error << ")";
        EXPECT_EQ(WriteDword(key, TEXT("New"), 2), ERROR_ACCESS_DENIED)
            << "setting a value needs KEY_SET_VALUE";
        EXPECT_EQ(WriteDword(key, TEXT("Existing"), 2), ERROR_ACCESS_DENIED)
            << "overwriting a value needs KEY_SET_VALUE";
        EXPECT_EQ(RegDeleteValueW(key, TEXT("Existing")), ERROR_ACCESS_DENIED)
            << "deleting a value needs KEY_SET_VALUE";
        RegCloseKey(key);
    }
    LONG error = 0;
    EXPECT_EQ(ReadDword(test.Handle(), TEXT("Existing"), &error), 1u) << "nothing was changed";
}

TEST(RegAccess, SubkeysIgnoreTheParentHandlesRights) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test.Path().c_str(), 0, KEY_READ, &parent),
              ERROR_SUCCESS);
    // Windows checks the new key's own security, not the rights of the handle it is named
    // relative to: a read-only parent handle still creates and opens subkeys for writing.
    HKEY child = nullptr;
    DWORD disposition = kPoison;
    LONG ret = RegCreateKeyExW(parent, TEXT("NewChild"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               &child, &disposition);
    EXPECT_EQ(ret, ERROR_SUCCESS) << "creating a subkey through a KEY_READ handle";
    if (ret == ERROR_SUCCESS) {
        EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
        EXPECT_EQ(WriteDword(child, TEXT("Value"), 1), ERROR_SUCCESS)
            << "the new key's handle has the rights asked for";
        RegCloseKey(child);
    }
    ret = RegCreateKeyExW(test.Handle(), TEXT("Existing"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &child, nullptr);
    ASSERT_EQ(ret, ERROR_SUCCESS);
    RegCloseKey(child);
    ret = RegOpenKeyExW(parent, TEXT("Existing"), 0, KEY_SET_VALUE, &child);
    EXPECT_EQ(ret, ERROR_SUCCESS) << "opening a subkey for writing through a KEY_READ handle";
    if (ret == ERROR_SUCCESS) {
        EXPECT_EQ(WriteDword(child, TEXT("Value"), 2), ERROR_SUCCESS);
        RegCloseKey(child);
    }
    RegCloseKey(parent);
}

TEST(RegAccess, EachOperationNeedsItsOwnRight) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    ASSERT_EQ(WriteDword(test.Handle(), TEXT("Existing"), 1), ERROR_SUCCESS);
    HKEY child = nullptr;
    ASSERT_EQ(RegCreateKeyExW(test.Handle(), TEXT("Child"), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &child, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(child);

    HKEY setOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test.Path().c_str(), 0, KEY_SET_VALUE, &setOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(WriteDword(setOnly, TEXT("Written"), 3), ERROR_SUCCESS)
        << "KEY_SET_VALUE is enough to set a value";
    DWORD value = 0, cbValue = sizeof value;
    EXPECT_EQ(RegQueryValueExW(setOnly, TEXT("Existing"), nullptr, nullptr,
                               reinterpret_cast<BYTE*>(&value), &cbValue),
              ERROR_ACCESS_DENIED)
        << "querying a value needs KEY_QUERY_VALUE";
    RegCloseKey(setOnly);

    HKEY queryOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test.Path().c_str(), 0, KEY_QUERY_VALUE, &queryOnly),
              ERROR_SUCCESS);
    WCHAR name[64];
    DWORD cchName = 64;
    EXPECT_EQ(RegEnumKeyExW(queryOnly, 0, name, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_ACCESS_DENIED)
        << "enumerating subkeys needs KEY_ENUMERATE_SUB_KEYS";
    RegCloseKey(queryOnly);

    HKEY enumOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test.Path().c_str(), 0, KEY_ENUMERATE_SUB_KEYS,
                            &enumOnly),
              ERROR_SUCCESS);
    cchName = 64;
    EXPECT_EQ(RegEnumKeyExW(enumOnly, 0, name, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS)
        << "KEY_ENUMERATE_SUB_KEYS is enough to enumerate subkeys";
    cchName = 64;
    DWORD cbData = 0;
    EXPECT_EQ(RegEnumValueW(enumOnly, 0, name, &cchName, nullptr, nullptr, nullptr, &cbData),
              ERROR_ACCESS_DENIED)
        << "enumerating values needs KEY_QUERY_VALUE";
    RegCloseKey(enumOnly);

    // Creating over an existing key grants what was asked for, nothing more.
    HKEY opened = nullptr;
    DWORD disposition = kPoison;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, test.Path().c_str(), 0, nullptr, 0, KEY_READ,
                              nullptr, &opened, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    EXPECT_EQ(WriteDword(opened, TEXT("Existing"), 4), ERROR_ACCESS_DENIED)
        << "a key created or opened for KEY_READ cannot be written";
    RegCloseKey(opened);
}

}  // namespace
}  // namespace contract
