// The slider's zoom line and the focus step count.
#include "lens/focus.h"
#include "lens/presets.h"

#include <gtest/gtest.h>

namespace {

TEST(SliderZoomLine, IsInMillimetresWithAtMostOneDecimal)
{
    EXPECT_EQ(lens::sliderZoomLine(750), "zoom=75");
    EXPECT_EQ(lens::sliderZoomLine(751), "zoom=75.1");
    EXPECT_EQ(lens::sliderZoomLine(755), "zoom=75.5");
    EXPECT_EQ(lens::sliderZoomLine(999), "zoom=99.9");
    EXPECT_EQ(lens::sliderZoomLine(1000), "zoom=100");
    EXPECT_EQ(lens::sliderZoomLine(5000), "zoom=500");
}

TEST(FocusCount, StaysWithinItsLimits)
{
    using namespace lens::focusdir;
    EXPECT_EQ(lens::steppedFocusCount(0, kUp), 1);
    EXPECT_EQ(lens::steppedFocusCount(100, kUp), 100);
    EXPECT_EQ(lens::steppedFocusCount(1, kDown), 0);
    EXPECT_EQ(lens::steppedFocusCount(0, kDown), 0);
}

} // namespace
