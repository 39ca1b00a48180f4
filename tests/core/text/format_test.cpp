#include "core/text/format.h"

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace sorvantix {
namespace {

std::string printfFixed(double value, int width, int precision)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%*.*f", width, precision, value);
    return buffer;
}

TEST(Format, FixedSpellsEveryValueAsPrintfDoes)
{
    // Halves that round to even or up depending on the binary value, signs of zero,
    // values that round to zero, wide values, and the ones printf spells itself.
    std::vector<double> values = {0.0,    -0.0,    0.5,     1.5,       2.5,      0.125,
                                  0.0005, 0.00049, 2.675,   1.005,     -1.005,   -0.0001,
                                  999.95, 9.995,   99.9999, 1e15,      1e22,     1e300,
                                  -1e300, DBL_MIN, DBL_MAX, 1.0 / 3.0, 2.0 / 3.0};
    values.push_back(std::numeric_limits<double>::infinity());
    values.push_back(-std::numeric_limits<double>::infinity());
    values.push_back(std::numeric_limits<double>::quiet_NaN());
    std::mt19937_64 rng(12);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-8, 8);
    for (int i = 0; i < 4000; ++i)
        values.push_back(unit(rng) * std::pow(10.0, exponent(rng)));
    // Odds in tenths and shares in thousandths, as the grids show them.
    for (int tenths = 0; tenths <= 20000; tenths += 7)
        values.push_back(tenths / 10.0);

    for (double v : values)
        for (int width : {0, 1, 5, 6, 7, 8})
            for (int precision : {0, 1, 2, 3, 4, 6})
                ASSERT_EQ(fixed(v, width, precision), printfFixed(v, width, precision))
                    << v << " width " << width << " precision " << precision;
}

TEST(Format, PaddedSpellsIntegersAsPrintfDoes)
{
    for (int v : {0, 1, -1, 9, 10, 99, 100, -99, 123456, INT_MAX, INT_MIN})
        for (int width : {0, 1, 2, 3, 12}) {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%*d", width, v);
            EXPECT_EQ(padded(v, width), buffer) << v << " width " << width;
        }
}

TEST(Grouped, ThousandsSeparatorsForEveryMagnitude)
{
    EXPECT_EQ(grouped(0), "0");
    EXPECT_EQ(grouped(999), "999");
    EXPECT_EQ(grouped(1000), "1,000");
    EXPECT_EQ(grouped(1596500), "1,596,500");
    EXPECT_EQ(grouped(-28700), "-28,700");
    EXPECT_EQ(grouped(-100), "-100");
    EXPECT_EQ(grouped(std::numeric_limits<long long>::min()), "-9,223,372,036,854,775,808");
}

TEST(Grouped, FractionsKeepTheirDecimalsAndOnlyTheWholePartIsGrouped)
{
    EXPECT_EQ(groupedFixed(11921.34, 1), "11,921.3");
    EXPECT_EQ(groupedFixed(999.96, 1), "1,000.0"); // rounding carries into a new group
    EXPECT_EQ(groupedFixed(665.3, 1), "665.3");
    EXPECT_EQ(groupedFixed(-1234567.0, 0), "-1,234,567");
    EXPECT_EQ(groupedFixed(-123.45, 2), "-123.45");
    EXPECT_EQ(groupedFixed(0.0, 1), "0.0");
    EXPECT_EQ(groupedFixed(std::numeric_limits<double>::infinity(), 1),
              fixed(std::numeric_limits<double>::infinity(), 0, 1));
}

} // namespace
} // namespace sorvantix
