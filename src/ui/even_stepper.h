// EvenStepper: hands out `count` integer steps that add up to `total`
// exactly, spreading the remainder evenly over the steps (Bresenham style).
// The background gradient uses one per colour component.
#pragma once

class EvenStepper {
public:
    // A count of 0 is a consistency failure; a negative count flips the
    // signs of both total and count.
    EvenStepper(int total, int count);

    int next();

private:
    // Wide, so that extreme totals and counts (INT_MIN) cannot overflow.
    long long quotient_ = 0;
    long long remainder_ = 0;  // never negative
    long long count_ = 0;
    long long accumulator_ = 0;
    bool negative_ = false;
};
