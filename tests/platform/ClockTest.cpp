#include "platform/Clock.h"

#include <gtest/gtest.h>

using tolvak::LocalTime;

TEST(Clock, WeekdayAndArithmeticAcrossMidnightAndYearEnd) {
    LocalTime t{2026, 12, 31, 23, 30, 0};
    EXPECT_EQ(t.weekday(), 4);  // Thursday
    LocalTime u = t.plusSeconds(3600);
    EXPECT_EQ(u, (LocalTime{2027, 1, 1, 0, 30, 0}));
    EXPECT_EQ(u.weekday(), 5);
    EXPECT_EQ(LocalTime::fromSerial(t.serial()), t);
    EXPECT_EQ((LocalTime{2024, 2, 28, 12, 0, 0}).plusSeconds(86400), (LocalTime{2024, 2, 29, 12, 0, 0}));
    EXPECT_EQ((LocalTime{2026, 12, 7, 0, 0, 0}).weekday(), 1);  // Monday
}

TEST(Clock, ManualClockStandsWhereItIsPut) {
    tolvak::ManualClock c(LocalTime{2026, 12, 9, 23, 59, 59});
    c.advance(1);
    EXPECT_EQ(c.now(), (LocalTime{2026, 12, 10, 0, 0, 0}));
}
