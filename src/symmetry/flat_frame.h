// The plane frame and the acceptance tests of the partner searches for points
// held as bare floats: the indexed searches (live_partner_search.cpp,
// resym_partner_search.cpp) test thousands of candidates per call, and
// building a Vector3 per candidate and calling its out-of-line members cost
// more than the rest of a search. Every function here performs the same
// operations in the same order as its Vector3 counterpart, rounded where that
// one rounds, so the answers are bit for bit those of projectOnto,
// probeVertex and distanceTo (the differential suite holds them to it).
#pragma once

#include <cmath>

#include "symmetry/pair_scan.h"
#include "symmetry/plane_frame.h"

// |value| < bound, false when either is NaN: std::fabs with the i686 C
// library headers goes through the x87 unit and back, which cost a tenth of
// a search.
inline bool absBelow(double value, double bound) noexcept {
    return value < bound && -value < bound;
}

// A starter's MirrorProbe as bare floats: no Vector3 to construct per search.
struct FlatProbe {
    float target[3];
    float distance;  // the starter's plane distance, rounded to float
    int side;

    FlatProbe() noexcept = default;
    explicit FlatProbe(const MirrorProbe& probe) noexcept
        : target{probe.target.x, probe.target.y, probe.target.z},
          distance(probe.distance),
          side(probe.side) {}
};

class FlatFrame {
public:
    explicit FlatFrame(const PlaneFrame& frame) noexcept
        : normal_{frame.normal.x, frame.normal.y, frame.normal.z},
          pivot_{frame.pivot.x, frame.pivot.y, frame.pivot.z},
          normalSq_(frame.normal.dot(frame.normal)),
          inverseSq_(exactInverse(normalSq_)) {}

    // n . (p - pivot), unrounded: the side is +1 exactly when this is > 0.
    double signedScaled(const float p[3]) const noexcept {
        // point.subtract(pivot), then normal.dot(that difference).
        const double dx = static_cast<float>(double(p[0]) - pivot_[0]);
        const double dy = static_cast<float>(double(p[1]) - pivot_[1]);
        const double dz = static_cast<float>(double(p[2]) - pivot_[2]);
        return (dz * normal_[2] + dy * normal_[1]) + dx * normal_[0];
    }

    // The unsigned plane distance of p, given its signedScaled; with `image`,
    // also p's mirror image foot + (foot - p), as probeVertex makes it.
    double distance(const float p[3], double signedScaled, float* image = nullptr) const noexcept {
        const float a = static_cast<float>(-signedScaled);
        const float t = static_cast<float>(overNormalSq(a));
        double squares[3];
        for (int axis = 0; axis < 3; ++axis) {
            // step = normal scaled by t; foot = point + step; point.distanceTo(foot).
            const float step = static_cast<float>(double(t) * normal_[axis]);
            const float foot = static_cast<float>(double(p[axis]) + double(step));
            const double difference = static_cast<float>(double(p[axis]) - double(foot));
            squares[axis] = difference * difference;
            if (image != nullptr) {
                const float outward = static_cast<float>(double(foot) - double(p[axis]));
                image[axis] = static_cast<float>(double(foot) + double(outward));
            }
        }
        return std::sqrt(squares[0] + (squares[1] + squares[2]));
    }

    // p's mirror image, bit for bit mirrorAcross's: foot + (foot - p).
    void mirror(const float p[3], float image[3]) const noexcept {
        const float a = static_cast<float>(-signedScaled(p));
        const float t = static_cast<float>(overNormalSq(a));
        for (int axis = 0; axis < 3; ++axis) {
            const float step = static_cast<float>(double(t) * normal_[axis]);
            const float foot = static_cast<float>(double(p[axis]) + double(step));
            const float outward = static_cast<float>(double(foot) - double(p[axis]));
            image[axis] = static_cast<float>(double(foot) + double(outward));
        }
    }

    // The side and plane-distance tests of facesProbe, for a candidate at p.
    // The side alone rejects most candidates, so the distance comes after it.
    bool faces(const float p[3], const FlatProbe& probe, float tolerance) const noexcept {
        const double scaled = signedScaled(p);
        const int side = scaled > 0.0 ? 1 : -1;
        if (!(probe.side * side < 0)) return false;
        return absBelow(double(probe.distance) - distance(p, scaled), double(tolerance));
    }

private:
    // 1 / v when that is exact (v a power of two whose inverse is a normal
    // double), else 0. Then a * (1 / v) is the same real number as a / v,
    // rounded the same way: the same double, bit for bit. The host lays axis
    // planes with power-of-two corners, so most frames get it.
    static double exactInverse(double v) noexcept {
        int exponent = 0;
        if (!(v > 0.0) || !std::isfinite(v) || std::frexp(v, &exponent) != 0.5) return 0.0;
        return exponent >= -1020 && exponent <= 1021 ? 1.0 / v : 0.0;
    }
    // a / normalSq_, without a division when that can be had exactly: a
    // million vertices mirrored wait on a division each.
    double overNormalSq(float a) const noexcept {
        return inverseSq_ != 0.0 ? double(a) * inverseSq_ : double(a) / normalSq_;
    }

    double normal_[3];
    double pivot_[3];
    double normalSq_;
    double inverseSq_;
};

// Exactly Vector3(target).distanceTo(p): each coordinate difference rounded
// to float, the squares summed in the same order in double.
inline double reachOf(const float target[3], const float p[3]) noexcept {
    const double dx = static_cast<float>(double(target[0]) - double(p[0]));
    const double dy = static_cast<float>(double(target[1]) - double(p[1]));
    const double dz = static_cast<float>(double(target[2]) - double(p[2]));
    return std::sqrt(dx * dx + (dy * dy + dz * dz));
}

inline bool isFiniteTarget(const float t[3]) noexcept {
    return std::isfinite(t[0]) && std::isfinite(t[1]) && std::isfinite(t[2]);
}
