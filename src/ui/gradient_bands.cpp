#include "ui/gradient_bands.h"

namespace {

int component(uint32_t color, int index) { return static_cast<int>((color >> (8 * index)) & 0xFF); }

int bandHeightFor(int h) {
    int band = h / 224;
    return band < 1 ? 1 : band > 3 ? 3 : band;
}

int heightOf(int top, int bottom) { return bottom > top ? bottom - top + 1 : 1; }

}  // namespace

GradientBands::GradientBands(int clientTop, int clientBottom, uint32_t topColor, uint32_t bottomColor)
    : top_(clientTop),
      y_(clientTop),
      bottom_(clientBottom),
      band_(bandHeightFor(heightOf(clientTop, clientBottom))),
      steps_(heightOf(clientTop, clientBottom) / band_),
      value_{component(topColor, 0), component(topColor, 1), component(topColor, 2)},
      stepper_{EvenStepper(component(topColor, 0) - component(bottomColor, 0), steps_),
               EvenStepper(component(topColor, 1) - component(bottomColor, 1), steps_),
               EvenStepper(component(topColor, 2) - component(bottomColor, 2), steps_)} {}

int GradientBands::bandCount() const {
    if (bottom_ <= top_) return 0;
    return (bottom_ - top_ + band_ - 1) / band_;
}

bool GradientBands::next(GradientBand& out) {
    if (y_ >= bottom_) return false;
    // With bands of 3 pixels a client height of 3k + 2 needs one band more
    // than there are steps; stepping on would run past the bottom colour
    // and wrap (white after black), so the last band keeps the bottom colour.
    if (stepsTaken_ < steps_) {
        for (int i = 0; i < 3; ++i) value_[i] -= stepper_[i].next();
        ++stepsTaken_;
    }
    out.top = y_;
    out.bottom = y_ + band_;
    out.color = static_cast<uint32_t>(value_[0] & 0xFF) | static_cast<uint32_t>(value_[1] & 0xFF) << 8 |
                static_cast<uint32_t>(value_[2] & 0xFF) << 16;
    y_ += band_;
    return true;
}
