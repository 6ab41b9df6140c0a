// The colours of the check picture: a ramp for the deviation of a pair from
// exact mirror positions, and one colour each for the vertices that found no
// partner. Chosen to stay apart from the grey-blue mesh and the orange plane.
#pragma once

#include <string>

#include "render/rgb.h"

namespace talvexhost {

constexpr Rgb kSymmetricColour{0.62f, 0.70f, 0.80f};  // the mesh's own colour
constexpr Rgb kUnpairedColour{0.80f, 0.05f, 0.80f};   // magenta
constexpr Rgb kNearPlaneColour{0.00f, 0.75f, 0.85f};  // cyan: centre-line candidates

// The ramp from green (t = 0) through yellow and orange to red (t = 1);
// t is clamped to [0, 1].
Rgb rampColour(double t);

// The ramp's top: the smallest of 1, 2 and 5 times a power of ten that is
// at least `largest` (1 for zero or less).
double rampTop(double largest);

// A pair's colour: the mesh's own up to `minDeviation`, else the ramp from 0
// to `top`.
Rgb deviationColour(double deviation, double minDeviation, double top);

// Four significant digits, locale-free ("0.0001", "2.5e-05", "17.25").
std::string shortNumber(double value);

}  // namespace talvexhost
