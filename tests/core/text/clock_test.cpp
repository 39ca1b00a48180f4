#include "core/text/clock.h"

#include <gtest/gtest.h>

using namespace sorvantix;

TEST(Clock, FormatsAndMovesAcrossCalendarBoundaries)
{
    LocalDateTime t{2024, 2, 28, 23, 59, 30};
    EXPECT_EQ(dateTimeText(t), "2024/02/28 23:59:30");
    EXPECT_EQ(timeText({2024, 1, 6, 9, 5, 3}), "09:05:03");
    EXPECT_EQ(t.addSeconds(30), (LocalDateTime{2024, 2, 29, 0, 0, 0})); // leap day
    EXPECT_EQ(t.addSeconds(86400 + 30), (LocalDateTime{2024, 3, 1, 0, 0, 0}));
    EXPECT_EQ(LocalDateTime({2024, 1, 1, 0, 0, 10}).addSeconds(-40 * 60),
              (LocalDateTime{2023, 12, 31, 23, 20, 10}));

    SettableClock clock({2024, 12, 31, 23, 59, 0});
    clock.advanceSeconds(60);
    EXPECT_EQ(clock.now(), (LocalDateTime{2025, 1, 1, 0, 0, 0}));
    EXPECT_LT(LocalDateTime({2024, 1, 6, 9, 0, 0}), LocalDateTime({2024, 1, 6, 10, 0, 0}));
}
