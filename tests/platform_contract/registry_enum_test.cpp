// Enumerating subkeys and values: order, the in/out character counts, short buffers and
// the end of the list.
#include <gtest/gtest.h>

#include <cstring>

#include "contract_support.h"

namespace contract {
namespace {

void CreateChild(HKEY parent, const WCHAR* name) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << Show(name);
    RegCloseKey(key);
}

void SetString(HKEY key, const WCHAR* name, const WCHAR* text) {
    DWORD cb = 0;
    while (text[cb]) ++cb;
    cb = (cb + 1) * sizeof(WCHAR);
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), cb),
              ERROR_SUCCESS)
        << Show(name);
}

TEST(RegEnumKey, NamesInOrderWithCharacterCounts) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    // Created out of order: subkeys come back sorted by name, ignoring case.
    CreateChild(test.Handle(), TEXT("Gamma"));
    CreateChild(test.Handle(), TEXT("alpha"));
    CreateChild(test.Handle(), TEXT("Beta"));
    CreateChild(test.Handle(), TEXT("Beta\\Grandchild"));  // not listed at this level

    const char* expected[] = {"alpha", "Beta", "Gamma"};
    for (DWORD i = 0; i < 3; ++i) {
        WCHAR name[32];
        std::memset(name, 0xbd, sizeof name);
        DWORD cchName = 32;
        FILETIME written = {kPoison, kPoison};
        LONG ret = RegEnumKeyExW(test.Handle(), i, name, &cchName, nullptr, nullptr, nullptr,
                                 &written);
        ASSERT_EQ(ret, ERROR_SUCCESS) << "index " << i;
        EXPECT_EQ(Show(name), expected[i]) << "index " << i;
        EXPECT_EQ(cchName, std::strlen(expected[i]))
            << "on return the count excludes the terminator";
    }
    WCHAR name[32];
    DWORD cchName = 32;
    EXPECT_EQ(RegEnumKeyExW(test.Handle(), 3, name, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS)
        << "the index past the last subkey ends the list";
    cchName = 32;
    EXPECT_EQ(RegEnumKeyExW(test.Handle(), 99, name, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS)
        << "any index past the end ends the list";
}

TEST(RegEnumKey, BufferMustHoldTheTerminator) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    CreateChild(test.Handle(), TEXT("Printers"));  // 8 characters

    WCHAR name[16];
    DWORD cchName = 8;
    LONG ret = RegEnumKeyExW(test.Handle(), 0, name, &cchName, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(ret, ERROR_MORE_DATA) << "8 characters do not fit a buffer of 8 with its terminator";

    cchName = 3;
    ret = RegEnumKeyExW(test.Handle(), 0, name, &cchName, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(ret, ERROR_MORE_DATA) << "a buffer far too short";

    std::memset(name, 0xbd, sizeof name);
    cchName = 9;
    ret = RegEnumKeyExW(test.Handle(), 0, name, &cchName, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(ret, ERROR_SUCCESS) << "8 characters and the terminator fit exactly in 9";
    EXPECT_EQ(cchName, 8u);
    EXPECT_EQ(Show(name), "Printers");
}

TEST(RegEnumValue, ValuesInCreationOrder) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    SetString(test.Handle(), TEXT("Zeta"), TEXT("z"));
    SetString(test.Handle(), TEXT("alpha"), TEXT("a"));
    const DWORD number = 5;
    ASSERT_EQ(RegSetValueExW(test.Handle(), TEXT("Mid"), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&number), sizeof number),
              ERROR_SUCCESS);

    struct Expected {
        const char* name;
        DWORD type;
        DWORD cbData;
    } expected[] = {{"Zeta", REG_SZ, 4}, {"alpha", REG_SZ, 4}, {"Mid", REG_DWORD, 4}};
    for (DWORD i = 0; i < 3; ++i) {
        WCHAR name[32];
        BYTE data[32];
        DWORD cchName = 32, type = kPoison, cbData = sizeof data;
        LONG ret = RegEnumValueW(test.Handle(), i, name, &cchName, nullptr, &type, data, &cbData);
        ASSERT_EQ(ret, ERROR_SUCCESS) << "index " << i;
        EXPECT_EQ(Show(name), expected[i].name) << "values enumerate in the order they were made";
        EXPECT_EQ(cchName, std::strlen(expected[i].name)) << "the count excludes the terminator";
        EXPECT_EQ(type, expected[i].type);
        EXPECT_EQ(cbData, expected[i].cbData) << "the data size in bytes";
    }
    WCHAR name[32];
    DWORD cchName = 32;
    EXPECT_EQ(RegEnumValueW(test.Handle(), 3, name, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
}

TEST(RegEnumValue, ShortNameOrDataBuffer) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    SetString(test.Handle(), TEXT("Test"), TEXT("foobar"));  // 14 bytes of data

    WCHAR name[16];
    WCHAR data[16];
    const WCHAR untouched[] = TEXT("xxxxxxxx");
    auto reset = [&] {
        std::memcpy(name, untouched, sizeof untouched);
        std::memcpy(data, untouched, sizeof untouched);
    };

    reset();
    DWORD cchName = 4, type = kPoison, cbData = sizeof data;
    LONG ret = RegEnumValueW(test.Handle(), 0, name, &cchName, nullptr, &type,
                             reinterpret_cast<BYTE*>(data), &cbData);
    EXPECT_EQ(ret, ERROR_MORE_DATA) << "a 4-character name needs a buffer of 5";
    EXPECT_EQ(cbData, 14u) << "the data size is still reported";

    reset();
    cchName = 16;
    cbData = 4;
    ret = RegEnumValueW(test.Handle(), 0, name, &cchName, nullptr, &type,
                        reinterpret_cast<BYTE*>(data), &cbData);
    EXPECT_EQ(ret, ERROR_MORE_DATA) << "14 bytes of data do not fit in 4";
    EXPECT_EQ(cbData, 14u) << "ERROR_MORE_DATA reports the data size needed";
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(Show(data), "xxxxxxxx") << "the short data buffer is left alone";

    reset();
    cchName = 5;
    cbData = 14;
    ret = RegEnumValueW(test.Handle(), 0, name, &cchName, nullptr, &type,
                        reinterpret_cast<BYTE*>(data), &cbData);
    EXPECT_EQ(ret, ERROR_SUCCESS) << "both buffers of exactly the size needed";
    EXPECT_EQ(cchName, 4u);
    EXPECT_EQ(cbData, 14u);
    EXPECT_EQ(Show(name), "Test");
    EXPECT_EQ(Show(data), "foobar");
}

}  // namespace
}  // namespace contract
