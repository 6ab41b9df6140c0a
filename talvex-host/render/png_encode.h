// PNG bytes from RGBA pixels.
#pragma once

#include <string>
#include <vector>

namespace talvexhost {

// Encodes RGBA rows (top row first) as PNG bytes with stb's writer.
bool encodePng(const std::vector<unsigned char>& rgba, int width, int height, std::string& png);

}  // namespace talvexhost
