// Where a picture lands on the printed page: scaling from screen to printer
// resolution, the fits-or-not test and the centred position.
#include "processing/placement.h"

#include <gtest/gtest.h>

namespace {

// A 600 dpi printer against a 96 dpi screen: 6.25 device pixels per picture
// pixel, on a printable area of 4800 x 6600.
PrintLayout At600(int width, int height, bool centred)
{
    return ComputePrintLayout(width, height, 96, 96, 600, 600, 4800, 6600, centred);
}

TEST(PrintLayout, ScaledAndCentredOnThePrintableArea)
{
    PrintLayout centred = At600(640, 480, true);
    EXPECT_FALSE(centred.exceedsArea);
    EXPECT_EQ(centred.width, 4000);
    EXPECT_EQ(centred.height, 3000);
    EXPECT_EQ(centred.x, 400);
    EXPECT_EQ(centred.y, 1800);

    // Declining the centring prints at the corner, at the same size.
    PrintLayout corner = At600(640, 480, false);
    EXPECT_EQ(corner.x, 0);
    EXPECT_EQ(corner.y, 0);
    EXPECT_EQ(corner.width, 4000);
    EXPECT_EQ(corner.height, 3000);
}

TEST(PrintLayout, FitsUpToExactlyThePrintableSize)
{
    // 768 x 1056 pixels make exactly 4800 x 6600: no warning.
    PrintLayout exact = At600(768, 1056, true);
    EXPECT_FALSE(exact.exceedsArea);
    EXPECT_EQ(exact.width, 4800);
    EXPECT_EQ(exact.height, 6600);
    EXPECT_EQ(exact.x, 0);
    EXPECT_EQ(exact.y, 0);

    EXPECT_TRUE(At600(769, 1056, true).exceedsArea);
    EXPECT_TRUE(At600(768, 1057, true).exceedsArea);
    EXPECT_TRUE(At600(769, 1, false).exceedsArea);
    EXPECT_TRUE(At600(1, 1057, false).exceedsArea);
}

TEST(PrintLayout, OverhangGivesNegativeCorner)
{
    // 1000 x 1200 pixels make 6250 x 7500 on 4800 x 6600.
    PrintLayout big = At600(1000, 1200, true);
    EXPECT_TRUE(big.exceedsArea);
    EXPECT_EQ(big.width, 6250);
    EXPECT_EQ(big.height, 7500);
    EXPECT_EQ(big.x, -725);
    EXPECT_EQ(big.y, -450);

    // Half a device pixel either way truncates toward zero.
    PrintLayout over = ComputePrintLayout(4801, 10, 96, 96, 96, 96, 4800, 6600, true);
    EXPECT_EQ(over.x, 0);
    PrintLayout under = ComputePrintLayout(4799, 10, 96, 96, 96, 96, 4800, 6600, true);
    EXPECT_EQ(under.x, 0);
    PrintLayout farOver = ComputePrintLayout(4803, 10, 96, 96, 96, 96, 4800, 6600, true);
    EXPECT_EQ(farOver.x, -1);
}

TEST(PrintLayout, SizesTruncateAndAxesScaleSeparately)
{
    // 641 x 6.25 = 4006.25.
    EXPECT_EQ(At600(641, 1, false).width, 4006);

    // 300 / 96 across, 600 / 120 down.
    PrintLayout l = ComputePrintLayout(100, 100, 96, 120, 300, 600, 2400, 3300, true);
    EXPECT_EQ(l.width, 312);  // 312.5
    EXPECT_EQ(l.height, 500);
    EXPECT_EQ(l.x, 1044);     // (2400 - 312) / 2
    EXPECT_EQ(l.y, 1400);
    EXPECT_FALSE(l.exceedsArea);

    // Only one axis too large still warns.
    EXPECT_TRUE(ComputePrintLayout(100, 700, 96, 120, 300, 600, 2400, 3300, false).exceedsArea);
}

// Device sizes beyond 16 bits keep their full value: a picture wider than
// 32767 device pixels stays centred instead of wrapping to a wrong corner.
TEST(PrintLayout, WideDeviceSizesKeepFullWidth)
{
    // 6000 x 6.25 = 37500 device pixels on a 40000-wide area.
    PrintLayout wide = ComputePrintLayout(6000, 6000, 96, 96, 600, 600, 40000, 40000, true);
    EXPECT_FALSE(wide.exceedsArea);
    EXPECT_EQ(wide.width, 37500);
    EXPECT_EQ(wide.height, 37500);
    EXPECT_EQ(wide.x, 1250);
    EXPECT_EQ(wide.y, 1250);

    // Far wider than the page: it overhangs on both sides by the same amount.
    PrintLayout huge = At600(20000, 16000, true);
    EXPECT_TRUE(huge.exceedsArea);
    EXPECT_EQ(huge.width, 125000);
    EXPECT_EQ(huge.height, 100000);
    EXPECT_EQ(huge.x, (4800 - 125000) / 2);
    EXPECT_EQ(huge.y, (6600 - 100000) / 2);
    EXPECT_EQ(huge.x * 2 + huge.width, 4800);
    EXPECT_EQ(huge.y * 2 + huge.height, 6600);

    // 65536 device pixels: a 16-bit value would read 0.
    PrintLayout wrap = ComputePrintLayout(65536, 1, 96, 96, 96, 96, 4800, 6600, true);
    EXPECT_EQ(wrap.width, 65536);
    EXPECT_EQ(wrap.x, (4800 - 65536) / 2);
}

}  // namespace
