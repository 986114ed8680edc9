// Where the scrolling text's lines start, its key colour, and its offset from
// tick to tick.
#include <gtest/gtest.h>

#include "about/ScrollMotion.h"

using namespace vornak::about;

TEST(ScrollMotion, WrapsWithinOneTickOrMovesOnceMoreAndStops) {
    for (const bool repeat : {true, false}) {
        ScrollMotion motion;
        motion.setTextHeight(22);
        motion.restart(243);
        for (int i = 0; i < 243 + 23; ++i)
            ASSERT_TRUE(motion.tick(243, repeat));
        // The last line has just left the top: -23 + 22 < 0.
        EXPECT_EQ(motion.offset(), -23);
        EXPECT_EQ(motion.tick(243, repeat), repeat);
        EXPECT_EQ(motion.offset(), repeat ? 242 : -24);
    }
}

TEST(ScrollMotion, EmptyTextWrapsAsSoonAsTheOffsetIsBelowZero) {
    ScrollMotion motion;
    motion.restart(10);
    for (int i = 0; i < 11; ++i)
        ASSERT_TRUE(motion.tick(10, true));
    EXPECT_EQ(motion.offset(), -1);
    EXPECT_TRUE(motion.tick(10, true));
    EXPECT_EQ(motion.offset(), 9);
    // A re-layout measures again but leaves the offset alone.
    motion.setTextHeight(50);
    EXPECT_EQ(motion.offset(), 9);
}

TEST(ScrollMotion, LineLeftEdges) {
    EXPECT_EQ(lineLeft(TAlign::alCenter, 105, 100), 2);  // 2.5 goes to the even 2
    EXPECT_EQ(lineLeft(TAlign::alCenter, 107, 100), 4);  // 3.5 goes to the even 4
    EXPECT_EQ(lineLeft(TAlign::alCenter, 101, 100), 0);
    EXPECT_EQ(lineLeft(TAlign::alLeft, 107, 100), 0);
    EXPECT_EQ(lineLeft(TAlign::alRight, 107, 100), 7);
    // Wider than the picture: centred and right-aligned lines start left of it.
    EXPECT_EQ(lineLeft(TAlign::alLeft, 95, 100), 0);
    EXPECT_EQ(lineLeft(TAlign::alCenter, 95, 100), -2);
    EXPECT_EQ(lineLeft(TAlign::alCenter, 93, 100), -4);
    EXPECT_EQ(lineLeft(TAlign::alRight, 93, 100), -7);
}

TEST(ScrollMotion, KeyColourAvoidsTheTextColour) {
    const Rgb blue{0, 0, 255};
    const Rgb darkGreen{0, 128, 0};
    EXPECT_EQ(keyColourFor(blue), darkGreen);
    EXPECT_EQ(keyColourFor(darkGreen), blue);
    EXPECT_EQ(keyColourFor({0, 0, 0}), blue);
    EXPECT_EQ(keyColourFor({0, 0, 254}), blue);
    EXPECT_EQ(keyColourFor({1, 0, 255}), blue);
}

TEST(ScrollMotion, AtMost32767LinesAreDrawn) {
    EXPECT_EQ(drawnLineCount(32767), 32767);
    EXPECT_EQ(drawnLineCount(32768), 32767);
}
