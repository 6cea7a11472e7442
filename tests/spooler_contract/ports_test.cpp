// Ports as the port list reads them: the wide call learns the size, the ANSI call fills a
// buffer of that size, and each record names its monitor.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "spooler_support.h"

namespace spooler {
namespace {

TEST(PortEnumeration, WideSizeThenAnsiFillWithMonitorNames) {
    DWORD needed = kPoison, returned = kPoison;
    SetLastError(kPoison);
    EXPECT_FALSE(EnumPortsW(nullptr, 2, nullptr, 0, &needed, &returned)) << "the size call fails";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_GT(needed, 0u);

    std::vector<BYTE> buffer(needed + 1, 0);
    returned = kPoison;
    DWORD neededA = 0;
    SetLastError(kPoison);
    ASSERT_TRUE(EnumPortsA(nullptr, 2, buffer.data(), needed, &neededA, &returned))
        << "the wide size is enough for the ANSI records: error " << GetLastError();
    EXPECT_LE(neededA, needed);
    ASSERT_GT(returned, 0u);

    // The local monitor's name is in the machine's language, in its ANSI code page.
    const std::string local = GetACP() == 936 ? std::string("\xB1\xBE\xB5\xD8\xBC\xE0\xCA\xD3\xC6\xF7")
                                              : std::string("Local Monitor");
    const auto* ports = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
    const BYTE* strings = buffer.data() + returned * sizeof(PORT_INFO_2A);
    bool lpt1 = false;
    for (DWORD i = 0; i < returned; ++i) {
        ASSERT_NE(ports[i].pPortName, nullptr);
        EXPECT_GE(reinterpret_cast<const BYTE*>(ports[i].pPortName), strings) << "strings follow the records";
        EXPECT_LT(reinterpret_cast<const BYTE*>(ports[i].pPortName), buffer.data() + needed);
        if (std::string(ports[i].pPortName) == "LPT1:") {
            lpt1 = true;
            ASSERT_NE(ports[i].pMonitorName, nullptr);
            EXPECT_EQ(std::string(ports[i].pMonitorName), local) << "LPT1: belongs to the local monitor";
        }
    }
    EXPECT_TRUE(lpt1) << "every machine has LPT1:";

    // The wide records name the same ports, in the same order.
    std::vector<BYTE> wide(needed);
    DWORD returnedW = 0;
    ASSERT_TRUE(EnumPortsW(nullptr, 2, wide.data(), needed, &needed, &returnedW)) << GetLastError();
    ASSERT_EQ(returnedW, returned);
    const auto* w = reinterpret_cast<const PORT_INFO_2W*>(wide.data());
    for (DWORD i = 0; i < returned; ++i) {
        WideText name(w[i].pPortName);
        EXPECT_EQ(std::string(name.begin(), name.end()), std::string(ports[i].pPortName));
    }
}

TEST(PortEnumeration, LevelOneNamesOnly) {
    DWORD needed = 0, returned = 0;
    EnumPortsW(nullptr, 1, nullptr, 0, &needed, &returned);
    ASSERT_GT(needed, 0u);
    std::vector<BYTE> buffer(needed);
    SetLastError(kPoison);
    ASSERT_TRUE(EnumPortsW(nullptr, 1, buffer.data(), needed, &needed, &returned)) << GetLastError();
    const auto* ports = reinterpret_cast<const PORT_INFO_1W*>(buffer.data());
    std::vector<WideText> names;
    for (DWORD i = 0; i < returned; ++i) names.emplace_back(ports[i].pName);
    EXPECT_TRUE(Contains(names, TEXT("COM1:")));
    EXPECT_TRUE(Contains(names, TEXT("FILE:")));

    SetLastError(kPoison);
    EXPECT_FALSE(EnumPortsW(nullptr, 7, buffer.data(), needed, &needed, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL)) << "expected ERROR_INVALID_LEVEL";
}

}  // namespace
}  // namespace spooler
