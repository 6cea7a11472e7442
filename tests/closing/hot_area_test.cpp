// Where the closing picture's painted buttons answer a click, at the picture's own size and
// stretched: the template's size at 96 DPI (1052 x 668, two pixels narrower and eleven
// lower than the picture), one and a half times that (144 DPI) and half the picture. At the
// picture's own size the rectangles are exactly the painted buttons, all bounds exclusive;
// stretched, the click is taken to the picture pixel painted under it, so the buttons'
// edges move with the paint.
#include <gtest/gtest.h>

#include <ostream>

#include "app/UserOptionDlg.h"

namespace {

using Area = CUserOptionDlg::EHotArea;

struct HotAreaCase {
    const char* what;
    int cxClient, cyClient;
    int x, y;
    Area expected;
};

void PrintTo(const HotAreaCase& c, std::ostream* os) {
    *os << c.what;
}

const CSize kPicture(1054, 679);

class HotArea : public ::testing::TestWithParam<HotAreaCase> {};

TEST_P(HotArea, FollowsThePaintedButton) {
    const HotAreaCase& c = GetParam();
    EXPECT_EQ(CUserOptionDlg::HotAreaAt(CPoint(c.x, c.y), CSize(c.cxClient, c.cyClient), kPicture),
              c.expected)
        << c.what << ": client " << c.cxClient << "x" << c.cyClient << ", point " << c.x << ","
        << c.y;
}

INSTANTIATE_TEST_SUITE_P(
    ClosingPicture, HotArea,
    ::testing::Values(
        // The picture's own size: the rectangles as they are, bounds exclusive.
        HotAreaCase{"own size, web first pixel inside", 1054, 679, 44, 415, Area::HOT_WEB_PAGE},
        HotAreaCase{"own size, web far corner inside", 1054, 679, 294, 483, Area::HOT_WEB_PAGE},
        HotAreaCase{"own size, web left edge", 1054, 679, 43, 450, Area::HOT_NONE},
        HotAreaCase{"own size, web right edge", 1054, 679, 295, 450, Area::HOT_NONE},
        HotAreaCase{"own size, web top edge", 1054, 679, 100, 414, Area::HOT_NONE},
        HotAreaCase{"own size, web bottom edge", 1054, 679, 100, 484, Area::HOT_NONE},
        HotAreaCase{"own size, close inside", 1054, 679, 995, 17, Area::HOT_CLOSE},
        HotAreaCase{"own size, close far corner", 1054, 679, 1037, 58, Area::HOT_CLOSE},
        HotAreaCase{"own size, close left edge", 1054, 679, 994, 30, Area::HOT_NONE},
        HotAreaCase{"own size, close bottom edge", 1054, 679, 1016, 59, Area::HOT_NONE},
        HotAreaCase{"own size, elsewhere", 1054, 679, 600, 300, Area::HOT_NONE},
        // The template at 96 DPI: the painted web button spans client rows 408-475 and
        // columns 44-293; the fixed rectangle's rows 415-483 missed its top seven rows.
        HotAreaCase{"template, web top row", 1052, 668, 100, 408, Area::HOT_WEB_PAGE},
        HotAreaCase{"template, above web", 1052, 668, 100, 407, Area::HOT_NONE},
        HotAreaCase{"template, web bottom row", 1052, 668, 100, 475, Area::HOT_WEB_PAGE},
        HotAreaCase{"template, below web (the old rectangle's)", 1052, 668, 100, 480,
                    Area::HOT_NONE},
        HotAreaCase{"template, web left column", 1052, 668, 44, 450, Area::HOT_WEB_PAGE},
        HotAreaCase{"template, left of web", 1052, 668, 43, 450, Area::HOT_NONE},
        HotAreaCase{"template, web right column", 1052, 668, 293, 450, Area::HOT_WEB_PAGE},
        HotAreaCase{"template, right of web", 1052, 668, 294, 450, Area::HOT_NONE},
        HotAreaCase{"template, close left column", 1052, 668, 993, 30, Area::HOT_CLOSE},
        HotAreaCase{"template, left of close", 1052, 668, 992, 30, Area::HOT_NONE},
        HotAreaCase{"template, close bottom row", 1052, 668, 1010, 57, Area::HOT_CLOSE},
        HotAreaCase{"template, below close", 1052, 668, 1010, 58, Area::HOT_NONE},
        // 144 DPI: half as large again, the buttons with it.
        HotAreaCase{"144 dpi, web top left", 1577, 1028, 66, 628, Area::HOT_WEB_PAGE},
        HotAreaCase{"144 dpi, above web", 1577, 1028, 66, 627, Area::HOT_NONE},
        HotAreaCase{"144 dpi, web bottom right", 1577, 1028, 440, 732, Area::HOT_WEB_PAGE},
        HotAreaCase{"144 dpi, below web", 1577, 1028, 440, 733, Area::HOT_NONE},
        HotAreaCase{"144 dpi, where the old rectangle was", 1577, 1028, 100, 420, Area::HOT_NONE},
        HotAreaCase{"144 dpi, close", 1577, 1028, 1520, 50, Area::HOT_CLOSE},
        HotAreaCase{"144 dpi, right of close", 1577, 1028, 1554, 50, Area::HOT_NONE},
        // Half the picture: every picture pixel is half a client pixel.
        HotAreaCase{"half, web", 527, 340, 22, 208, Area::HOT_WEB_PAGE},
        HotAreaCase{"half, left of web", 527, 340, 21, 208, Area::HOT_NONE},
        HotAreaCase{"half, close", 527, 340, 510, 20, Area::HOT_CLOSE},
        // Points outside the client area (a captured mouse) and a degenerate client area.
        HotAreaCase{"left of the client area", 1052, 668, -5, 450, Area::HOT_NONE},
        HotAreaCase{"below the client area", 1052, 668, 100, 700, Area::HOT_NONE},
        HotAreaCase{"empty client area: taken as the picture's own", 0, 0, 44, 415,
                    Area::HOT_WEB_PAGE}));

}  // namespace
