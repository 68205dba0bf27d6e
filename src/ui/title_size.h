// The size of the background title: the largest point size from 26 down
// whose text is narrower than the screen; 6 points is taken unmeasured.
#pragma once

constexpr int TitleLargestPoints = 26;
constexpr int TitleSmallestPoints = 6;

// measure gives the title's width in pixels at a point size.
using TitleWidthAt = int (*)(int points, void* context);

int fittingTitlePoints(int clientRight, TitleWidthAt measure, void* context);

// The font height for a point size: -(pixelsPerInch * points / 72), the fraction dropped.
int fontHeightFor(int points, int pixelsPerInch);
