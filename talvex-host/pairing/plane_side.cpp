#include "pairing/plane_side.h"

namespace talvexhost {

bool parsePlaneSide(const std::string& text, const char* option, PlaneSide& side,
                    std::string& error) {
    const bool hasSign = !text.empty() && (text[0] == '+' || text[0] == '-');
    const bool axisNamed = text.size() == 2 && hasSign && (text[1] >= 'x' && text[1] <= 'z');
    if (!(hasSign && (text.size() == 1 || axisNamed))) {
        error = std::string(option) + " takes +x, -x, +y, -y, +z, -z, + or -, not \"" + text + "\"";
        return false;
    }
    side.sign = text[0] == '+' ? 1 : -1;
    side.axis = axisNamed ? text[1] - 'x' : -1;
    return true;
}

bool sideSign(const PlaneSide& side, const PlaneSpec& spec, const char* option, int& sign,
              std::string& error) {
    if (side.axis >= 0 && side.axis != spec.axis) {
        error = std::string(option) + " " + sideName(side.axis, side.sign) + " names the " +
                char('x' + side.axis) + " axis, but the plane " + describePlane(spec) +
                " divides the mesh along " + char('x' + spec.axis) + ": give " +
                sideName(spec.axis, side.sign) + " or " + sideName(spec.axis, -side.sign);
        return false;
    }
    sign = side.sign;
    // Sides by the normal: signedDistance counts along +axis, which is
    // against the normal when its component on the axis is negative.
    if (side.axis < 0 && spec.general && spec.normal[spec.axis] < 0.0) sign = -sign;
    return true;
}

std::string sideName(int axis, int sign) {
    return std::string(sign > 0 ? "+" : "-") + char('x' + axis);
}

}  // namespace talvexhost
