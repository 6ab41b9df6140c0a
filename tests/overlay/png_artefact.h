// Saves what a test rendered as a PNG under the build folder, so a person can
// look at it, and tells where. Used by every test that reads pixels back.
#pragma once

#include <string>
#include <vector>

namespace overlaytest {

// Writes `rgba` (width * height * 4 bytes, rows bottom-up as glReadPixels
// gives them) to <build>/artefacts/<name>.png, upright, prints the path and
// returns it; an empty string when the file could not be written.
std::string saveArtefact(const std::string& name, const std::vector<unsigned char>& rgba, int width,
                         int height);

}  // namespace overlaytest
