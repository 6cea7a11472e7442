// Registry values: the two-call sizing of RegQueryValueExW, the default value, strings
// stored without a terminator, and the four value types the installer writes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "contract_support.h"

namespace contract {
namespace {

using Bytes = std::vector<BYTE>;

Bytes BytesOf(const void* data, size_t size) {
    const BYTE* p = static_cast<const BYTE*>(data);
    return Bytes(p, p + size);
}

// The value's type and bytes, read with a buffer of exactly the size the size call gave.
struct Stored {
    LONG error = 0;
    DWORD type = kPoison;
    Bytes data;
};

Stored Query(HKEY key, const WCHAR* name) {
    Stored out;
    DWORD cbData = 0;
    out.error = RegQueryValueExW(key, name, nullptr, &out.type, nullptr, &cbData);
    if (out.error != ERROR_SUCCESS) return out;
    // One byte more than needed, poisoned, so that a write past the data shows.
    Bytes buffer(cbData + 2, 0xbd);
    DWORD cbRead = cbData;
    out.error = RegQueryValueExW(key, name, nullptr, &out.type, buffer.data(), &cbRead);
    EXPECT_EQ(cbRead, cbData) << "the second call should report the size the first gave";
    EXPECT_EQ(buffer[cbData], 0xbd) << "nothing may be written past the value's size";
    EXPECT_EQ(buffer[cbData + 1], 0xbd) << "nothing may be written past the value's size";
    out.data.assign(buffer.begin(), buffer.begin() + cbRead);
    return out;
}

TEST(RegQueryValue, SizeCallShortBufferAndExactFit) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    const WCHAR text[] = TEXT("LPT1:");
    ASSERT_EQ(RegSetValueExW(test.Handle(), TEXT("Port"), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text), sizeof text),
              ERROR_SUCCESS);

    DWORD type = kPoison, cbData = kPoison;
    LONG ret = RegQueryValueExW(test.Handle(), TEXT("Port"), nullptr, &type, nullptr, &cbData);
    EXPECT_EQ(ret, ERROR_SUCCESS) << "with no buffer the call only reports the size";
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(cbData, sizeof text) << "the size is in bytes and counts the terminator";

    BYTE small[4];
    std::memset(small, 0xbd, sizeof small);
    cbData = sizeof small;
    type = kPoison;
    ret = RegQueryValueExW(test.Handle(), TEXT("Port"), nullptr, &type, small, &cbData);
    EXPECT_EQ(ret, ERROR_MORE_DATA) << "a buffer too small for the value";
    EXPECT_EQ(cbData, sizeof text) << "ERROR_MORE_DATA reports the size needed";

    WCHAR exact[sizeof text / sizeof text[0] + 1];
    exact[sizeof text / sizeof text[0]] = 0x7777;
    cbData = sizeof text;
    ret = RegQueryValueExW(test.Handle(), TEXT("Port"), nullptr, &type,
                           reinterpret_cast<BYTE*>(exact), &cbData);
    EXPECT_EQ(ret, ERROR_SUCCESS) << "a buffer of exactly the value's size is enough";
    EXPECT_EQ(cbData, sizeof text);
    EXPECT_EQ(Show(exact), "LPT1:");
    EXPECT_EQ(exact[sizeof text / sizeof text[0]], 0x7777) << "nothing written past the buffer";

    // Type and size pointers are optional.
    cbData = sizeof text;
    EXPECT_EQ(RegQueryValueExW(test.Handle(), TEXT("Port"), nullptr, nullptr,
                               reinterpret_cast<BYTE*>(exact), &cbData),
              ERROR_SUCCESS)
        << "lpType may be NULL";
    EXPECT_EQ(RegQueryValueExW(test.Handle(), TEXT("Port"), nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS)
        << "asking only whether the value exists";
    EXPECT_EQ(RegQueryValueExW(test.Handle(), TEXT("Port"), nullptr, &type,
                               reinterpret_cast<BYTE*>(exact), nullptr),
              ERROR_INVALID_PARAMETER)
        << "a data buffer needs its size";

    cbData = sizeof text;
    EXPECT_EQ(RegQueryValueExW(test.Handle(), TEXT("Missing"), nullptr, &type,
                               reinterpret_cast<BYTE*>(exact), &cbData),
              ERROR_FILE_NOT_FOUND)
        << "a missing value";
}

TEST(RegQueryValue, DefaultValueHasNullOrEmptyName) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    DWORD cbData = 0;
    EXPECT_EQ(RegQueryValueExW(test.Handle(), nullptr, nullptr, nullptr, nullptr, &cbData),
              ERROR_FILE_NOT_FOUND)
        << "a new key has no default value";

    const WCHAR text[] = TEXT("Default");
    ASSERT_EQ(RegSetValueExW(test.Handle(), TEXT(""), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text), sizeof text),
              ERROR_SUCCESS);
    Stored byNull = Query(test.Handle(), nullptr);
    ASSERT_EQ(byNull.error, ERROR_SUCCESS) << "the value set with \"\" is the one read with NULL";
    EXPECT_EQ(byNull.data, BytesOf(text, sizeof text));

    const WCHAR other[] = TEXT("Other");
    ASSERT_EQ(RegSetValueExW(test.Handle(), nullptr, 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(other), sizeof other),
              ERROR_SUCCESS);
    Stored byEmpty = Query(test.Handle(), TEXT(""));
    ASSERT_EQ(byEmpty.error, ERROR_SUCCESS);
    EXPECT_EQ(byEmpty.data, BytesOf(other, sizeof other)) << "NULL and \"\" name one value";

    WCHAR name[16];
    DWORD cchName = 16;
    cbData = 0;
    ASSERT_EQ(RegEnumValueW(test.Handle(), 0, name, &cchName, nullptr, nullptr, nullptr, &cbData),
              ERROR_SUCCESS);
    EXPECT_EQ(cchName, 0u) << "the default value enumerates with an empty name";
    cchName = 16;
    EXPECT_EQ(RegEnumValueW(test.Handle(), 1, name, &cchName, nullptr, nullptr, nullptr, &cbData),
              ERROR_NO_MORE_ITEMS)
        << "there is only one default value";

    ASSERT_EQ(RegDeleteValueW(test.Handle(), nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(test.Handle(), TEXT(""), nullptr, nullptr, nullptr, &cbData),
              ERROR_FILE_NOT_FOUND)
        << "deleting with a NULL name removes the default value";
}

TEST(RegQueryValue, StringsWithoutTerminator) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    // Three characters counted, and the fourth is not a terminator: stored as given.
    const WCHAR unterminated[] = {'a', 'b', 'c', 'd', 0};
    ASSERT_EQ(RegSetValueExW(test.Handle(), TEXT("Bare"), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(unterminated), 3 * sizeof(WCHAR)),
              ERROR_SUCCESS);
    Stored bare = Query(test.Handle(), TEXT("Bare"));
    ASSERT_EQ(bare.error, ERROR_SUCCESS);
    EXPECT_EQ(bare.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(bare.data, BytesOf(unterminated, 3 * sizeof(WCHAR)))
        << "a string stored without terminator is returned as stored, none added";

    // The caller forgot to count the terminator that follows the text: Windows NT counts it.
    const WCHAR text[] = TEXT("abc");
    ASSERT_EQ(RegSetValueExW(test.Handle(), TEXT("Forgot"), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text), 3 * sizeof(WCHAR)),
              ERROR_SUCCESS);
    Stored forgot = Query(test.Handle(), TEXT("Forgot"));
    ASSERT_EQ(forgot.error, ERROR_SUCCESS);
    EXPECT_EQ(forgot.data, BytesOf(text, sizeof text))
        << "a terminator right after the counted text is stored with it";

    // An empty string of zero bytes stays zero bytes.
    ASSERT_EQ(RegSetValueExW(test.Handle(), TEXT("Empty"), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text), 0),
              ERROR_SUCCESS);
    Stored empty = Query(test.Handle(), TEXT("Empty"));
    ASSERT_EQ(empty.error, ERROR_SUCCESS);
    EXPECT_EQ(empty.data.size(), 0u) << "a zero-byte string is stored as zero bytes";
}

TEST(RegValueTypes, AllFourRoundTripByteForByte) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    const WCHAR text[] = TEXT("Dr\u00F6van \u4E2D\u6587 \\\\server\\share");
    const DWORD number = 0x89ABCDEF;
    const BYTE binary[] = {0x00, 0x01, 0x7F, 0x80, 0xFF, 0x00, 0x42};
    const WCHAR multi[] = TEXT("COM1:\0LPT1:\0\u4E2D\0");  // the literal adds the final \0

    struct Case {
        const WCHAR* name;
        DWORD type;
        Bytes data;
    } cases[] = {
        {TEXT("String"), REG_SZ, BytesOf(text, sizeof text)},
        {TEXT("Number"), REG_DWORD, BytesOf(&number, sizeof number)},
        {TEXT("Binary"), REG_BINARY, BytesOf(binary, sizeof binary)},
        {TEXT("List"), REG_MULTI_SZ, BytesOf(multi, sizeof multi)},
        {TEXT("EmptyBinary"), REG_BINARY, Bytes()},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(RegSetValueExW(test.Handle(), c.name, 0, c.type,
                                 c.data.empty() ? nullptr : c.data.data(),
                                 static_cast<DWORD>(c.data.size())),
                  ERROR_SUCCESS)
            << Show(c.name);
    }
    // Read back through a second handle, so nothing is served from the first.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test.Path().c_str(), 0, KEY_READ, &key),
              ERROR_SUCCESS);
    for (const Case& c : cases) {
        SCOPED_TRACE(Show(c.name));
        Stored stored = Query(key, c.name);
        ASSERT_EQ(stored.error, ERROR_SUCCESS);
        EXPECT_EQ(stored.type, c.type) << "the type is kept";
        EXPECT_EQ(stored.data, c.data) << "the bytes are kept exactly";
    }
    DWORD read = 0, cbRead = sizeof read, type = kPoison;
    ASSERT_EQ(RegQueryValueExW(key, TEXT("Number"), nullptr, &type, reinterpret_cast<BYTE*>(&read),
                               &cbRead),
              ERROR_SUCCESS);
    EXPECT_EQ(read, number) << "a REG_DWORD reads back into a DWORD";
    RegCloseKey(key);
}

TEST(RegValueTypes, OverwritingReplacesInPlace) {
    TestKey test;
    ASSERT_NE(test.Handle(), nullptr);
    const WCHAR first[] = TEXT("9600,n,8,1");
    for (const WCHAR* name : {TEXT("COM1:"), TEXT("COM2:"), TEXT("COM3:")}) {
        ASSERT_EQ(RegSetValueExW(test.Handle(), name, 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(first), sizeof first),
                  ERROR_SUCCESS);
    }
    // Overwrite the middle value with another type and size.
    const DWORD number = 19200;
    ASSERT_EQ(RegSetValueExW(test.Handle(), TEXT("com2:"), 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&number), sizeof number),
              ERROR_SUCCESS);
    Stored stored = Query(test.Handle(), TEXT("COM2:"));
    ASSERT_EQ(stored.error, ERROR_SUCCESS);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD)) << "the new type replaces the old";
    EXPECT_EQ(stored.data, BytesOf(&number, sizeof number)) << "the new data replaces the old";

    const char* expected[] = {"COM1:", "COM2:", "COM3:"};
    for (DWORD i = 0; i < 3; ++i) {
        WCHAR name[16];
        DWORD cchName = 16, type = kPoison, cbData = 0;
        ASSERT_EQ(RegEnumValueW(test.Handle(), i, name, &cchName, nullptr, &type, nullptr, &cbData),
                  ERROR_SUCCESS);
        EXPECT_EQ(Show(name), expected[i])
            << "overwriting keeps the value's place and the case of its first name";
    }
    WCHAR name[16];
    DWORD cchName = 16;
    EXPECT_EQ(RegEnumValueW(test.Handle(), 3, name, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS)
        << "overwriting adds no value";
}

}  // namespace
}  // namespace contract
