#pragma once

#include <cstdint>
#include <functional>

class QSlider;

namespace korvane {

// The vertical value sliders of the Gas Simulator and Aux Tracks pages run
// from position 0 at the top (the upper bound) to 100 at the bottom.
inline constexpr int kSliderTop = 0;
inline constexpr int kSliderBottom = 100;

// Sets up a vertical 0..100 slider with a tick every 10 positions, page size
// 10 and line size 1 that behaves like a Win32 trackbar: position 0 at the top,
// and Up, Left, Page Up and Home move towards it.
void setUpValueSlider(QSlider* slider);

// The slider position for a valueToPosition result: outside 0..100 (INT32_MIN
// among them) it is pinned to the nearer end, as the trackbar does.
int sliderPositionOf(int32_t position);

// The scale of the slider mapping for a range, (lower - upper) / 100: the
// difference is a float, as the bounds are; the division is made in double
// precision and rounded once, which puts 15.0 between 10 and 20 at position 49
// rather than 50.
float sliderScale(float lower, float upper);

// Calls follow(position, store) for every move of the slider: store is false
// while the thumb is being dragged (the display follows it) and true for
// keyboard, wheel and channel moves and when the thumb is released.
void followSlider(QSlider* slider, std::function<void(int position, bool store)> follow);

}  // namespace korvane
