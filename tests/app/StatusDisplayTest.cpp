// The window-less status display: initial state, the busy display with its blink and countdown
// timers, and the countdown texts.

#include "app/StatusDisplay.h"

#include <gtest/gtest.h>

#include "platform/Regional.h"

namespace tolvak {
namespace {

struct StatusDisplayTest : ::testing::Test {
    ManualClock clock{LocalTime{2024, 5, 6, 13, 45, 0}};
    ManualTimer timer2, timer3;
    StatusDisplay okno{clock, timer2, timer3};
    void SetUp() override { SetRegionalFormats(RegionalFormats{"yyyy-MM-dd", "HH:mm:ss", '-'}); }
};

TEST_F(StatusDisplayTest, StartsWithTheSixElementsAndTheTimersOfAWindowJustCreated) {
    EXPECT_EQ(okno.LAkcja(), "Czekam...");
    EXPECT_EQ(okno.Gauge1Max(), 100);
    EXPECT_EQ(okno.Gauge1Position(), 0);
    EXPECT_EQ(okno.StatusBar1(), "Gotowy");
    EXPECT_EQ(okno.LOstPobrany(), "---");
    EXPECT_EQ(okno.Shape1Color(), 0x008000u);
    EXPECT_EQ(okno.LShapeInfo(), "Pobieranie...");
    EXPECT_EQ(okno.SekundyDoWlaczenia(), 300);
    EXPECT_EQ(timer2.interval(), 500);
    EXPECT_FALSE(timer2.isEnabled());
    EXPECT_EQ(timer3.interval(), 1000);
    EXPECT_TRUE(timer3.isEnabled());
}

TEST_F(StatusDisplayTest, CountdownTicksDownToZeroAndStaysThere) {
    EXPECT_EQ(StatusDisplay::PozycjaNaCzas(300), "5:00");
    EXPECT_EQ(StatusDisplay::PozycjaNaCzas(65), "1:05");
    EXPECT_EQ(StatusDisplay::PozycjaNaCzas(61), "1:01");
    EXPECT_EQ(StatusDisplay::PozycjaNaCzas(59), "0:59");
    EXPECT_EQ(StatusDisplay::PozycjaNaCzas(0), "0:00");
    EXPECT_EQ(StatusDisplay::PozycjaNaCzas(3600), "60:00");

    ASSERT_TRUE(timer3.tick());
    EXPECT_EQ(okno.LShapeInfo(), "Jest 13:45:00. Do następnego testu: ~4:59");
    for (int i = 0; i < 234; ++i) timer3.tick();
    clock.set(LocalTime{2024, 5, 6, 13, 49, 55});
    timer3.tick();
    EXPECT_EQ(okno.LShapeInfo(), "Jest 13:49:55. Do następnego testu: ~1:04");
    for (int i = 0; i < 100; ++i) timer3.tick();
    EXPECT_EQ(okno.SekundyDoWlaczenia(), 0);
    EXPECT_EQ(okno.LShapeInfo(), "Jest 13:49:55. Do następnego testu: ~0:00");
    okno.Migotanie(false);
    EXPECT_EQ(okno.SekundyDoWlaczenia(), 300);
    timer3.tick();
    EXPECT_EQ(okno.LShapeInfo(), "Jest 13:49:55. Do następnego testu: ~4:59");
}

TEST_F(StatusDisplayTest, BusyDisplayBlinksAndAlwaysEndsGreen) {
    int zmiany = 0;
    okno.OnChange = [&] { ++zmiany; };
    for (int mrugniecia : {0, 1, 2, 3}) {
        okno.Migotanie(true);
        EXPECT_TRUE(timer2.isEnabled());
        EXPECT_FALSE(timer3.isEnabled());
        EXPECT_EQ(okno.LShapeInfo(), "Pobieram...");
        EXPECT_EQ(okno.Shape1Color(), StatusDisplay::kZielony);  // until the first blink tick
        for (int i = 0; i < mrugniecia; ++i) ASSERT_TRUE(timer2.tick());
        EXPECT_EQ(okno.Shape1Color(),
                  mrugniecia % 2 ? StatusDisplay::kCzerwony : StatusDisplay::kZielony);
        EXPECT_FALSE(timer3.tick());  // the countdown stands still while busy
        okno.Migotanie(false);
        EXPECT_FALSE(timer2.isEnabled());
        EXPECT_TRUE(timer3.isEnabled());
        EXPECT_EQ(okno.Shape1Color(), StatusDisplay::kZielony);
        EXPECT_EQ(okno.LShapeInfo(), "Czekam na zadanie.");
    }
    EXPECT_GT(zmiany, 8);
}

TEST_F(StatusDisplayTest, GaugeStaysWithinItsLimits) {
    okno.setGaugeMax(0);
    okno.advanceGauge(5);
    EXPECT_EQ(okno.Gauge1Position(), 0);
    okno.setGaugeMax(100);
    okno.setGaugePosition(80);
    okno.setGaugeMax(50);
    EXPECT_EQ(okno.Gauge1Position(), 50);
    okno.setGaugePosition(-3);
    EXPECT_EQ(okno.Gauge1Position(), 0);
    okno.advanceGauge(INT64_MAX);
    EXPECT_EQ(okno.Gauge1Position(), 50);
}

TEST(StatusDisplayOwnTimers, WithoutShellTimersTheFlagsStillFollowTheBusyDisplay) {
    ManualClock clock;
    StatusDisplay okno(clock);
    EXPECT_FALSE(okno.Timer2Enabled());
    EXPECT_TRUE(okno.Timer3Enabled());
    okno.Migotanie(true);
    EXPECT_TRUE(okno.Timer2Enabled());
    EXPECT_FALSE(okno.Timer3Enabled());
}

}  // namespace
}  // namespace tolvak
