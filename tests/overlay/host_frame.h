// The frame a host has ready when it calls the overlay: the target cleared to
// one colour, the depth test on, identity matrices (so model coordinates are
// normalised device coordinates). Needs a current GL context.
#pragma once

namespace overlaytest {

void beginHostFrame(float red, float green, float blue);

}  // namespace overlaytest
