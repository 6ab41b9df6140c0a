#include "pairing/plane_setup.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "io/number_text.h"
#include "pairing/plane_placement.h"

namespace talvexhost {

bool setGeneralPlane(PlaneSpec& spec, const double normal[3], double offset) {
    // Divided by the largest first, so coefficients near the double range's
    // ends (1e300, 1e-300) neither overflow nor underflow when squared.
    const double largest =
        std::max({std::fabs(normal[0]), std::fabs(normal[1]), std::fabs(normal[2])});
    if (!(largest > 0.0) || !std::isfinite(largest)) return false;
    const double n[3] = {normal[0] / largest, normal[1] / largest, normal[2] / largest};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    const double at = offset / largest / length;
    if (!std::isfinite(at)) return false;
    spec.general = true;
    spec.atValue = false;
    spec.axis = 0;
    for (int k = 0; k < 3; ++k) {
        spec.normal[k] = n[k] / length;
        if (std::fabs(spec.normal[k]) > std::fabs(spec.normal[spec.axis])) spec.axis = k;
    }
    spec.offset = at;
    return true;
}

bool parsePlaneSpec(const std::string& text, PlaneSpec& spec, std::string& error) {
    PlaneSpec parsed;
    if (text.empty()) {
        error = "--plane needs x, y, z, AXIS=VALUE, auto or A,B,C,D";
        return false;
    }
    if (text == "auto") {
        parsed.automatic = true;
        spec = parsed;
        return true;
    }
    if (text.find(',') != std::string::npos) {
        double numbers[4];
        std::size_t begin = 0;
        for (int k = 0; k < 4; ++k) {
            const std::size_t comma = text.find(',', begin);
            const std::size_t end = k < 3 ? comma : text.size();
            if ((k < 3 && comma == std::string::npos) ||
                (k == 3 && text.find(',', begin) != std::string::npos) ||
                !parseDouble(text.substr(begin, end - begin), numbers[k])) {
                error = "--plane \"" + text +
                        "\": expected four numbers A,B,C,D for the plane A x + B y + C z = D";
                return false;
            }
            begin = end + 1;
        }
        if (numbers[0] == 0.0 && numbers[1] == 0.0 && numbers[2] == 0.0) {
            error = "--plane \"" + text + "\": A, B and C must not all be 0";
            return false;
        }
        if (!setGeneralPlane(parsed, numbers, numbers[3]) ||
            !(std::fabs(parsed.offset) <= double(std::numeric_limits<float>::max()))) {
            error = "--plane \"" + text +
                    "\": that plane lies farther from the origin than any coordinate can (the "
                    "model's coordinates are single-precision floats, up to 3.4e38)";
            return false;
        }
        spec = parsed;
        return true;
    }
    const char axis = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    if (axis < 'x' || axis > 'z' || (text.size() > 1 && text[1] != '=')) {
        error =
            "--plane \"" + text + "\": expected x, y, z, AXIS=VALUE such as x=0, auto or A,B,C,D";
        return false;
    }
    parsed.axis = axis - 'x';
    if (text.size() > 1) {
        parsed.atValue = true;
        double wide = 0.0;
        if (!parseDouble(text.substr(2), wide)) {
            error = "--plane \"" + text + "\": \"" + text.substr(2) + "\" is not a number";
            return false;
        }
        if (!parseFloat(text.substr(2), parsed.value)) {
            error = "--plane \"" + text + "\": " + text.substr(2) +
                    " is beyond the range of the model's coordinates (single-precision floats, "
                    "up to 3.4e38)";
            return false;
        }
    }
    spec = parsed;
    return true;
}

std::string formatPlaneNumber(double value) {
    return formatFixed(std::fabs(value) < 5e-7 ? 0.0 : value, 6);
}

std::string formatPlaneEquation(const double normal[3], double offset) {
    std::string text = formatPlaneNumber(normal[0]) + " x";
    for (int k = 1; k < 3; ++k) {
        const bool minus = normal[k] < 0.0 && formatPlaneNumber(normal[k]) != "0.000000";
        text += (minus ? " - " : " + ") + formatPlaneNumber(std::fabs(normal[k])) +
                (k == 1 ? " y" : " z");
    }
    return text + " = " + formatPlaneNumber(offset);
}

std::string describePlane(const PlaneSpec& spec) {
    const std::string prefix = spec.automatic ? "auto, " : "";
    if (spec.general) return prefix + formatPlaneEquation(spec.normal, spec.offset);
    if (spec.automatic && !spec.atValue) return "auto";
    const std::string axis(1, static_cast<char>('x' + spec.axis));
    if (spec.atValue) return prefix + axis + " = " + formatFloat(spec.value);
    return axis + " = centroid";
}

std::string describePlacedPlane(const PlaneSpec& spec, const HostPlane& plane) {
    const std::string score = spec.automatic
                                  ? " (symmetry score " + formatFixed(100.0 * spec.score, 1) + " %)"
                                  : std::string();
    if (spec.general) return describePlane(spec) + score;
    const char axis = static_cast<char>('x' + spec.axis);
    return describePlane(spec) + " (at " + axis + " = " + formatFixed(plane.pivot[spec.axis], 6) +
           ")" + score;
}

double HostPlane::signedDistance(const Vector3& p, int axis) const noexcept {
    const double d[3] = {double(p.x) - pivot[0], double(p.y) - pivot[1], double(p.z) - pivot[2]};
    const double length =
        std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
    const double along = (normal[0] * d[0] + normal[1] * d[1] + normal[2] * d[2]) / length;
    return normal[axis] < 0.0 ? -along : along;
}

void HostPlane::mirror(const Vector3& p, double out[3]) const noexcept {
    const double d[3] = {double(p.x) - pivot[0], double(p.y) - pivot[1], double(p.z) - pivot[2]};
    const double nn = normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2];
    const double t = 2.0 * (normal[0] * d[0] + normal[1] * d[1] + normal[2] * d[2]) / nn;
    out[0] = double(p.x) - t * normal[0];
    out[1] = double(p.y) - t * normal[1];
    out[2] = double(p.z) - t * normal[2];
}

bool planeFrame(const HostObject* planeObject, HostPlane& plane) noexcept {
    if (planeObject == nullptr || planeObject->vertexCount < 3) return false;
    const Vector3& p0 = *planeObject->vertices[0];
    const Vector3& p1 = *planeObject->vertices[1];
    const Vector3& p2 = *planeObject->vertices[2];
    const double e1[3] = {double(p1.x) - p0.x, double(p1.y) - p0.y, double(p1.z) - p0.z};
    const double e2[3] = {double(p2.x) - p0.x, double(p2.y) - p0.y, double(p2.z) - p0.z};
    plane.normal[0] = e1[1] * e2[2] - e1[2] * e2[1];
    plane.normal[1] = e1[2] * e2[0] - e1[0] * e2[2];
    plane.normal[2] = e1[0] * e2[1] - e1[1] * e2[0];
    plane.pivot[0] = planeObject->position.x;
    plane.pivot[1] = planeObject->position.y;
    plane.pivot[2] = planeObject->position.z;
    const double lengthSq = plane.normal[0] * plane.normal[0] + plane.normal[1] * plane.normal[1] +
                            plane.normal[2] * plane.normal[2];
    return lengthSq > 0.0 && std::isfinite(lengthSq);
}

}  // namespace talvexhost
