// The runtime's bounded copies: what they leave in the destination and what they return
// when it is too small or an argument is missing. Guard units after the destination's size
// catch any write past it.
#include <gtest/gtest.h>

#include "wide_test_support.h"

namespace {

constexpr WCHAR kGuard = 0x7E7E;

// A destination of `Size` units followed by guard units that must never change.
template <size_t Size>
struct Destination {
    WCHAR units[Size + 4];
    Destination() {
        for (WCHAR& c : units) c = kGuard;
    }
    WCHAR* get() { return units; }
    bool GuardsIntact() const {
        for (size_t i = Size; i < Size + 4; ++i)
            if (units[i] != kGuard) return false;
        return true;
    }
};

class BoundedCopy : public ::testing::Test {
protected:
    void SetUp() override { errno = 0; }
    QuietInvalidParameters quiet_;
};

TEST_F(BoundedCopy, CopyFillsTheDestinationExactly) {
    Destination<6> dst;
    EXPECT_EQ(wcscpy_s(dst.get(), 6, TEXT("LPT1:")), 0);
    EXPECT_EQ(WideText(dst.get()), TEXT("LPT1:"));
    EXPECT_TRUE(dst.GuardsIntact());
    EXPECT_EQ(errno, 0);
}

TEST_F(BoundedCopy, CopyThatDoesNotFitLeavesAnEmptyString) {
    Destination<5> dst;
    EXPECT_EQ(wcscpy_s(dst.get(), 5, TEXT("LPT1:")), ERANGE);
    EXPECT_EQ(dst.units[0], 0);
    EXPECT_TRUE(dst.GuardsIntact());
    EXPECT_EQ(errno, ERANGE);
}

TEST_F(BoundedCopy, CopyRejectsMissingArguments) {
    Destination<4> dst;
    EXPECT_EQ(wcscpy_s(nullptr, 4, TEXT("a")), EINVAL);
    EXPECT_EQ(wcscpy_s(dst.get(), 0, TEXT("a")), EINVAL);
    EXPECT_EQ(dst.units[0], kGuard);  // a size of 0 allows no write at all

    EXPECT_EQ(wcscpy_s(dst.get(), 4, nullptr), EINVAL);
    EXPECT_EQ(dst.units[0], 0);
    EXPECT_TRUE(dst.GuardsIntact());
}

TEST_F(BoundedCopy, CopyKeepsSurrogatePairsIntact) {
    Destination<8> dst;
    EXPECT_EQ(wcscpy_s(dst.get(), 8, TEXT("\u00C4") PRINTER_SYMBOL TEXT("\u4E2D")), 0);
    EXPECT_EQ(WideText(dst.get()), TEXT("\u00C4") PRINTER_SYMBOL TEXT("\u4E2D"));
    EXPECT_EQ(dst.units[1], 0xD83D);
    EXPECT_EQ(dst.units[2], 0xDDA8);
}

TEST_F(BoundedCopy, CountedCopyTakesAtMostCount) {
    Destination<8> dst;
    EXPECT_EQ(wcsncpy_s(dst.get(), 8, TEXT("COM10:"), 4), 0);
    EXPECT_EQ(WideText(dst.get()), TEXT("COM1"));
    EXPECT_EQ(wcsncpy_s(dst.get(), 8, TEXT("ab"), 6), 0);  // a shorter source ends the copy
    EXPECT_EQ(WideText(dst.get()), TEXT("ab"));
    EXPECT_EQ(wcsncpy_s(dst.get(), 8, TEXT("abc"), 0), 0);
    EXPECT_EQ(dst.units[0], 0);
    EXPECT_TRUE(dst.GuardsIntact());

    // count + terminator must fit, even when the count cuts the source.
    EXPECT_EQ(wcsncpy_s(dst.get(), 4, TEXT("abcdef"), 4), ERANGE);
    EXPECT_EQ(dst.units[0], 0);
    EXPECT_EQ(wcsncpy_s(dst.get(), 4, TEXT("abcdef"), 3), 0);
    EXPECT_EQ(WideText(dst.get()), TEXT("abc"));

    EXPECT_EQ(wcsncpy_s(nullptr, 0, nullptr, 0), 0);  // nothing asked, nothing to fail
    EXPECT_EQ(wcsncpy_s(nullptr, 4, TEXT("a"), 1), EINVAL);
    EXPECT_EQ(wcsncpy_s(dst.get(), 4, nullptr, 1), EINVAL);
    EXPECT_EQ(dst.units[0], 0);
}

TEST_F(BoundedCopy, TruncatingCopyKeepsWhatFits) {
    Destination<4> dst;
    EXPECT_EQ(wcsncpy_s(dst.get(), 4, TEXT("abc"), _TRUNCATE), 0);
    EXPECT_EQ(WideText(dst.get()), TEXT("abc"));

    EXPECT_EQ(wcsncpy_s(dst.get(), 4, TEXT("USB001"), _TRUNCATE), STRUNCATE);
    EXPECT_EQ(WideText(dst.get()), TEXT("USB"));
    EXPECT_TRUE(dst.GuardsIntact());
    EXPECT_EQ(STRUNCATE, 80);
}

TEST_F(BoundedCopy, AppendFitsOrLeavesAnEmptyString) {
    Destination<8> dst;
    wcscpy_s(dst.get(), 8, TEXT("COM"));
    EXPECT_EQ(wcscat_s(dst.get(), 8, TEXT("1:")), 0);
    EXPECT_EQ(WideText(dst.get()), TEXT("COM1:"));
    EXPECT_EQ(wcscat_s(dst.get(), 8, TEXT("xy")), 0);  // exactly full now
    EXPECT_EQ(WideText(dst.get()), TEXT("COM1:xy"));
    EXPECT_EQ(errno, 0);

    EXPECT_EQ(wcscat_s(dst.get(), 8, TEXT("z")), ERANGE);
    EXPECT_EQ(dst.units[0], 0);
    EXPECT_TRUE(dst.GuardsIntact());
    EXPECT_EQ(errno, ERANGE);
}

TEST_F(BoundedCopy, AppendRejectsAnUnterminatedDestination) {
    Destination<3> dst;
    dst.units[0] = dst.units[1] = dst.units[2] = TEXT('x');
    EXPECT_EQ(wcscat_s(dst.get(), 3, TEXT("a")), EINVAL);
    EXPECT_EQ(dst.units[0], 0);
    EXPECT_TRUE(dst.GuardsIntact());

    EXPECT_EQ(wcscat_s(nullptr, 3, TEXT("a")), EINVAL);
    EXPECT_EQ(wcscat_s(dst.get(), 0, TEXT("a")), EINVAL);
    EXPECT_EQ(wcscat_s(dst.get(), 3, nullptr), EINVAL);
}

}  // namespace
