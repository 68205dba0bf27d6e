// The bands of the background gradient: pure arithmetic, so the window
// procedure only fills rectangles and the host tests can check every colour.
#pragma once

#include <cstdint>

#include "ui/even_stepper.h"

// One horizontal band: rows top (inclusive) to bottom (exclusive) in one colour.
struct GradientBand {
    int top;
    int bottom;
    uint32_t color;  // 0x00BBGGRR, like a COLORREF
};

// Walks the client rectangle from clientTop to clientBottom (exclusive, as
// GetClientRect gives it) in bands of 1 to 3 pixels, stepping each colour
// component from topColor towards bottomColor so that it arrives exactly
// after steps() steps.
class GradientBands {
public:
    GradientBands(int clientTop, int clientBottom, uint32_t topColor, uint32_t bottomColor);

    // H / 224 limited to 1..3, with H = clientBottom - clientTop + 1.
    int bandHeight() const { return band_; }
    // H / bandHeight(): after this many steps a component has its bottom value.
    int steps() const { return steps_; }
    // How many bands cover the client area.
    int bandCount() const;

    // The next band from the top; false when the client area is covered.
    bool next(GradientBand& out);

private:
    int top_;
    int y_;
    int bottom_;
    int band_;
    int steps_;
    int stepsTaken_ = 0;
    int value_[3];
    EvenStepper stepper_[3];
};
