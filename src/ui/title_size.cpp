#include "ui/title_size.h"

int fittingTitlePoints(int clientRight, TitleWidthAt measure, void* context) {
    int points = TitleLargestPoints;
    while (points > TitleSmallestPoints && measure(points, context) >= clientRight) --points;
    return points;
}

int fontHeightFor(int points, int pixelsPerInch) { return -(pixelsPerInch * points / 72); }
