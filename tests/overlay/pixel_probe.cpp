#include "overlay/pixel_probe.h"

#include <algorithm>
#include <cmath>

namespace overlaytest {

int colourByte(float component) {
    return static_cast<int>(std::lround(static_cast<double>(component) * 255.0));
}

Image::Image(std::vector<unsigned char> rgba, int width, int height)
    : rgba_(std::move(rgba)), width_(width), height_(height) {}

Rgb8 Image::at(int x, int y) const {
    const size_t at =
        (static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)) * 4u;
    return {rgba_[at], rgba_[at + 1], rgba_[at + 2]};
}

Ink Image::find(const Rgb8& colour, int x0, int y0, int x1, int y1) const {
    Ink ink;
    for (int y = std::max(y0, 0); y < std::min(y1, height_); ++y) {
        for (int x = std::max(x0, 0); x < std::min(x1, width_); ++x) {
            if (!(at(x, y) == colour)) continue;
            if (ink.count == 0) {
                ink.minX = ink.maxX = x;
                ink.minY = ink.maxY = y;
            }
            ++ink.count;
            ink.minX = std::min(ink.minX, x);
            ink.maxX = std::max(ink.maxX, x);
            ink.minY = std::min(ink.minY, y);
            ink.maxY = std::max(ink.maxY, y);
        }
    }
    return ink;
}

bool Image::inkNear(const Rgb8& colour, int x, int y, int radius) const {
    return find(colour, x - radius, y - radius, x + radius + 1, y + radius + 1).count > 0;
}

}  // namespace overlaytest
