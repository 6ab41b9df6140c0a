// Reading a rendered RGBA image (rows bottom-up, as glReadPixels gives them):
// single pixels, and the box around every pixel of one colour.
#pragma once

#include <vector>

namespace overlaytest {

struct Rgb8 {
    int red, green, blue;
    bool operator==(const Rgb8& other) const {
        return red == other.red && green == other.green && blue == other.blue;
    }
};

// The byte a GL colour component in [0, 1] is written as.
int colourByte(float component);

struct Ink {
    int count = 0;  // pixels of the colour inside the searched rectangle
    int minX = 0, minY = 0, maxX = -1, maxY = -1;  // their bounding box, inclusive
};

class Image {
public:
    Image(std::vector<unsigned char> rgba, int width, int height);
    Rgb8 at(int x, int y) const;
    // Pixels of exactly `colour` with x0 <= x < x1 and y0 <= y < y1.
    Ink find(const Rgb8& colour, int x0, int y0, int x1, int y1) const;
    Ink find(const Rgb8& colour) const { return find(colour, 0, 0, width_, height_); }
    // True when some pixel of `colour` lies within `radius` of (x, y).
    bool inkNear(const Rgb8& colour, int x, int y, int radius) const;
    const std::vector<unsigned char>& rgba() const { return rgba_; }

private:
    std::vector<unsigned char> rgba_;
    int width_;
    int height_;
};

}  // namespace overlaytest
