#include "ui/even_stepper.h"

#include "core/fatal.h"

EvenStepper::EvenStepper(int total, int count) {
    if (count == 0) reportConsistencyFailure("Core32", 7101);
    long long t = total, c = count;
    if (c < 0) {
        t = -t;
        c = -c;
    }
    negative_ = t < 0;
    quotient_ = t / c;
    remainder_ = negative_ ? -(t % c) : t % c;
    count_ = c;
}

int EvenStepper::next() {
    accumulator_ += remainder_;
    if (accumulator_ < count_) return static_cast<int>(quotient_);
    accumulator_ -= count_;
    return static_cast<int>(negative_ ? quotient_ - 1 : quotient_ + 1);
}
