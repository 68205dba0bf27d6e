#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "support/fatal_capture.h"
#include "ui/even_stepper.h"
#include "ui/gradient_bands.h"
#include "ui/title_size.h"

namespace {

std::vector<int> stepsOf(int total, int count, int n) {
    EvenStepper stepper(total, count);
    std::vector<int> steps;
    for (int i = 0; i < n; ++i) steps.push_back(stepper.next());
    return steps;
}

TEST(EvenStepper, StepsAddUpExactlyAndDifferByAtMostOne) {
    struct Case {
        int total, count;
    } cases[] = {{255, 240}, {-255, 240}, {7, 3},    {-7, 3},      {0, 5},       {5, -3},
                 {-5, -3},   {1, 1000},  {-1, 1000}, {255, 1},    {INT_MAX, 7}, {INT_MIN, 3},
                 {200, 201}, {-254, 227}, {100, 100}, {-100, 100}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.total << " over " << c.count);
        int n = std::abs(c.count);
        std::vector<int> steps = stepsOf(c.total, c.count, n);
        long long sum = 0;
        int lowest = INT_MAX, highest = INT_MIN;
        for (int s : steps) {
            sum += s;
            lowest = std::min(lowest, s);
            highest = std::max(highest, s);
        }
        // A negative count flips the sign of the total.
        long long expected = c.count < 0 ? -static_cast<long long>(c.total) : c.total;
        EXPECT_EQ(sum, expected);
        EXPECT_LE(static_cast<long long>(highest) - lowest, 1);
    }
}

TEST(EvenStepper, SpreadsTheRemainderTowardsTheEnd) {
    EXPECT_EQ(stepsOf(7, 3, 3), (std::vector<int>{2, 2, 3}));
    EXPECT_EQ(stepsOf(-7, 3, 3), (std::vector<int>{-2, -2, -3}));
    EXPECT_EQ(stepsOf(2, 4, 4), (std::vector<int>{0, 1, 0, 1}));
    EXPECT_EQ(stepsOf(-2, 4, 4), (std::vector<int>{0, -1, 0, -1}));
    EXPECT_EQ(stepsOf(7, -3, 3), (std::vector<int>{-2, -2, -3}));
    EXPECT_EQ(stepsOf(-7, -3, 3), (std::vector<int>{2, 2, 3}));
}

TEST(EvenStepper, ZeroCountIsAConsistencyFailure) {
    EXPECT_EQ(captureFatal([] { EvenStepper stepper(5, 0); }), "Core32 7101");
    EXPECT_EQ(captureFatal([] { EvenStepper stepper(5, 1); }), NoFatalReport);
}

std::vector<GradientBand> bandsOf(int height, uint32_t top, uint32_t bottom) {
    GradientBands bands(0, height, top, bottom);
    std::vector<GradientBand> out;
    GradientBand band;
    while (bands.next(band)) out.push_back(band);
    return out;
}

TEST(GradientBands, BandHeightStepsAndBandCountForScreenHeights) {
    struct Case {
        int height, band, steps, count;
        uint32_t lastWhiteToBlack;
    } cases[] = {
        {480, 2, 240, 240, 0x000000},   // ends exactly on black
        {1000, 3, 333, 334, 0x000000},  // 1001 / 224 = 4, limited to 3
        {200, 1, 201, 200, 0x020202},   // one step short of black
        {768, 3, 256, 256, 0x000000},
        {682, 3, 227, 228, 0x000000},   // one band more than steps: kept on black
        {1, 1, 2, 1, 0x808080},    // 255 over 2 steps: 127 first
        {0, 1, 1, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "height " << c.height);
        GradientBands bands(0, c.height, 0xFFFFFF, 0x000000);
        EXPECT_EQ(bands.bandHeight(), c.band);
        EXPECT_EQ(bands.steps(), c.steps);
        EXPECT_EQ(bands.bandCount(), c.count);
        std::vector<GradientBand> drawn = bandsOf(c.height, 0xFFFFFF, 0x000000);
        ASSERT_EQ(static_cast<int>(drawn.size()), c.count);
        if (!drawn.empty()) {
            EXPECT_EQ(drawn.back().color, c.lastWhiteToBlack);
        }
    }
}

TEST(GradientBands, FirstBandAlreadyCarriesOneStep) {
    std::vector<GradientBand> drawn = bandsOf(480, 0xFFFFFF, 0x000000);
    // 255 over 240 steps: the first step is 1.
    EXPECT_EQ(drawn.front().color, 0xFEFEFEu);
    EXPECT_EQ(drawn.front().top, 0);
    EXPECT_EQ(drawn.front().bottom, 2);
}

TEST(GradientBands, EveryHeightTilesTheAreaAndStaysBetweenTheColours) {
    const uint32_t pairs[][2] = {{0xFFFFFF, 0x000000}, {0x000000, 0xFFFFFF}, {0xFF0000, 0x0000FF},
                                 {0x123456, 0xFEDCBA}, {0x808080, 0x808080}, {0x00FF00, 0x01FE02}};
    for (const auto& pair : pairs) {
        for (int height = 1; height <= 1400; ++height) {
            std::vector<GradientBand> drawn = bandsOf(height, pair[0], pair[1]);
            GradientBands shape(0, height, pair[0], pair[1]);
            int y = 0;
            for (const GradientBand& band : drawn) {
                ASSERT_EQ(band.top, y) << height;
                ASSERT_EQ(band.bottom - band.top, shape.bandHeight()) << height;
                y = band.bottom;
                for (int shift = 0; shift < 24; shift += 8) {
                    int top = (pair[0] >> shift) & 0xFF, bottom = (pair[1] >> shift) & 0xFF;
                    int value = (band.color >> shift) & 0xFF;
                    ASSERT_GE(value, std::min(top, bottom)) << "height " << height;
                    ASSERT_LE(value, std::max(top, bottom)) << "height " << height;
                }
            }
            ASSERT_GE(y, height);
            ASSERT_LT(y - height, shape.bandHeight());
            // Bands of 2 and 3 pixels reach the bottom colour; 1-pixel bands
            // stop one step short (steps = H, bands = H - 1).
            if (shape.bandHeight() > 1) {
                ASSERT_EQ(drawn.back().color, pair[1]) << "height " << height;
            }
        }
    }
}

TEST(GradientBands, StartsAtTheClientTop) {
    GradientBands bands(10, 490, 0xFFFFFF, 0);
    GradientBand band;
    ASSERT_TRUE(bands.next(band));
    EXPECT_EQ(band.top, 10);
    EXPECT_EQ(bands.bandCount(), 240);
}

struct Measured {
    int perPoint;
    std::vector<int> asked;
};

int widthAt(int points, void* context) {
    Measured* m = static_cast<Measured*>(context);
    m->asked.push_back(points);
    return points * m->perPoint;
}

TEST(TitleSize, LargestSizeNarrowerThanTheClientAreaWithSixAsFloor) {
    struct Case {
        int clientRight, perPoint, points, measured;
    } cases[] = {
        {1024, 30, 26, 1},    // 780 fits at once
        {1024, 50, 20, 7},    // 1000 < 1024
        {1024, 64, 15, 12},   // 16 * 64 = 1024 is not narrower
        {1024, 1000, 6, 20},  // 26 down to 7 measured, 6 taken unmeasured
        {0, 1, 6, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.clientRight << " / " << c.perPoint);
        Measured m{c.perPoint, {}};
        EXPECT_EQ(fittingTitlePoints(c.clientRight, widthAt, &m), c.points);
        ASSERT_EQ(static_cast<int>(m.asked.size()), c.measured);
        EXPECT_EQ(m.asked.front(), 26);
        EXPECT_GE(m.asked.back(), 7);
    }
}

TEST(TitleSize, FontHeightDropsTheFraction) {
    EXPECT_EQ(fontHeightFor(26, 96), -34);   // 34.67
    EXPECT_EQ(fontHeightFor(26, 120), -43);  // 43.33
    EXPECT_EQ(fontHeightFor(6, 96), -8);
    EXPECT_EQ(fontHeightFor(7, 72), -7);
}

}  // namespace
