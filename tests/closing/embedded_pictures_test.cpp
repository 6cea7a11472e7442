// The pictures the build embeds are the committed files byte for byte, registered under
// their IDs, and the closing picture is what the dialog's hot areas were laid out on.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "res/dialog_template.h"
#include "res/resource.h"

namespace {

std::vector<BYTE> ReadArt(const char* name) {
    std::ifstream f(std::string(DROVAN_ART_DIR) + "/" + name, std::ios::binary);
    return std::vector<BYTE>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

template <class T>
uint32_t Le(const BYTE* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return static_cast<uint32_t>(v);
}

void ExpectSameBytes(const BYTE* data, size_t size, const std::vector<BYTE>& file) {
    ASSERT_FALSE(file.empty());
    ASSERT_EQ(size, file.size());
    EXPECT_EQ(std::memcmp(data, file.data(), size), 0);
}

TEST(EmbeddedPictures, AreTheCommittedFilesByteForByte) {
    const auto* icon = drovan::res::FindIcon(IDR_MAINFRAME);
    ASSERT_NE(icon, nullptr);
    ExpectSameBytes(icon->ico, icon->size, ReadArt("icon128.ico"));
    const auto* banner = drovan::res::FindBitmap(IDB_SIDE_BANNER);
    ASSERT_NE(banner, nullptr);
    ExpectSameBytes(banner->bmp, banner->size, ReadArt("bitmap141.bmp"));
    const auto* closing = drovan::res::FindBitmap(IDB_CLOSING_PICTURE);
    ASSERT_NE(closing, nullptr);
    ExpectSameBytes(closing->bmp, closing->size, ReadArt("bitmap154.bmp"));
}

TEST(EmbeddedPictures, ClosingPictureIs1054By679At24Bits) {
    const auto* b = drovan::res::FindBitmap(IDB_CLOSING_PICTURE);
    ASSERT_NE(b, nullptr);
    ASSERT_GE(b->size, 54u);
    EXPECT_EQ(b->bmp[0], 'B');
    EXPECT_EQ(b->bmp[1], 'M');
    EXPECT_EQ(Le<uint32_t>(b->bmp + 2), b->size);
    EXPECT_EQ(Le<int32_t>(b->bmp + 18), 1054u);
    EXPECT_EQ(Le<int32_t>(b->bmp + 22), 679u);  // bottom-up
    EXPECT_EQ(Le<uint16_t>(b->bmp + 28), 24u);
    EXPECT_EQ(Le<uint32_t>(b->bmp + 30), 0u);  // BI_RGB
    const uint32_t stride = (1054 * 3 + 3) & ~3u;
    EXPECT_EQ(b->size, Le<uint32_t>(b->bmp + 10) + stride * 679);
}

// The painted buttons must sit where the dialog takes clicks: every pixel strictly inside
// a hot area is button face, and the pixels just outside its middle are not.
TEST(EmbeddedPictures, PaintedButtonsCoverTheHotAreas) {
    const auto* b = drovan::res::FindBitmap(IDB_CLOSING_PICTURE);
    ASSERT_NE(b, nullptr);
    const uint32_t stride = (1054 * 3 + 3) & ~3u, offset = Le<uint32_t>(b->bmp + 10);
    auto pixel = [&](int x, int y) {
        const BYTE* p = b->bmp + offset + static_cast<uint32_t>(678 - y) * stride + static_cast<uint32_t>(x) * 3;
        return std::to_string(p[2]) + "," + std::to_string(p[1]) + "," + std::to_string(p[0]);
    };
    struct Area { int left, top, right, bottom; };
    for (Area a : {Area{43, 414, 295, 484}, Area{994, 16, 1038, 59}}) {
        const int midX = (a.left + a.right) / 2, midY = (a.top + a.bottom) / 2;
        const std::string face = pixel(a.left + 1, midY);
        EXPECT_EQ(pixel(a.right - 1, midY), face);
        EXPECT_EQ(pixel(midX, a.top + 1), face);
        EXPECT_EQ(pixel(midX, a.bottom - 1), face);
        EXPECT_NE(pixel(a.left - 2, midY), face);
        EXPECT_NE(pixel(a.right + 1, midY), face);
        EXPECT_NE(pixel(midX, a.top - 2), face);
        EXPECT_NE(pixel(midX, a.bottom + 1), face);
    }
}

}  // namespace
