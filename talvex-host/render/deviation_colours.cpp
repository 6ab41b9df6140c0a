#include "render/deviation_colours.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace talvexhost {

Rgb rampColour(double t) {
    static const Rgb stops[] = {
        {0.15f, 0.70f, 0.30f}, {0.95f, 0.85f, 0.15f}, {0.98f, 0.50f, 0.10f}, {0.80f, 0.05f, 0.05f}};
    constexpr int last = 3;
    const double at = std::clamp(std::isfinite(t) ? t : 1.0, 0.0, 1.0) * last;
    const int i = std::min(static_cast<int>(at), last - 1);
    const float f = static_cast<float>(at - i);
    const Rgb& a = stops[i];
    const Rgb& b = stops[i + 1];
    return {a.r + (b.r - a.r) * f, a.g + (b.g - a.g) * f, a.b + (b.b - a.b) * f};
}

double rampTop(double largest) {
    if (!(largest > 0.0) || !std::isfinite(largest)) return 1.0;
    double power = std::pow(10.0, std::floor(std::log10(largest)));
    for (;;) {
        // Steps close enough that the largest deviation lands in the red end
        // of the ramp (at least 80 % of the top), not in its yellow middle.
        for (double step : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 3.5, 4.0, 5.0, 6.0, 7.0, 8.0})
            if (step * power >= largest * (1.0 - 1e-12)) return step * power;
        power *= 10.0;
    }
}

Rgb deviationColour(double deviation, double minDeviation, double top) {
    if (!(deviation > minDeviation)) return kSymmetricColour;
    return rampColour(top > 0.0 ? deviation / top : 1.0);
}

std::string shortNumber(double value) {
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 4);
    return std::string(text, result.ptr);
}

}  // namespace talvexhost
