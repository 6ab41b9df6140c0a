// Symmetry detection on noisy quad-grid heightfields under rigid motions: a
// lattice offers many planes that map most vertices onto vertices (shifted
// by half spacings, or turned so slightly that a quarter-spacing match does
// not see it), and only the grid's own mirror plane may be reported.
#include "detect/symmetry_detect.h"

#include <gtest/gtest.h>

#include <cmath>

#include "detect/point_normals.h"
#include "detect/sampling.h"

using namespace talvexhost;

namespace {

constexpr double kSpacing = 0.2;

// `n` x `n` vertices, spacing 0.2, every coordinate moved by up to 0.01. The
// height is even in x; `oddInY` adds a term odd in y, so that x = 0 is the
// only mirror plane, else y = 0 is one too.
std::vector<Point3> noisyGrid(long n, bool oddInY, SeededRandom& random) {
    const double half = 0.5 * double(n - 1) * kSpacing;
    const double amplitude = 0.1 * half;
    std::vector<Point3> points;
    for (long j = 0; j < n; ++j) {
        const double y = (double(j) - double(n - 1) / 2.0) * kSpacing;
        for (long i = 0; i < n; ++i) {
            const double x = (double(i) - double(n - 1) / 2.0) * kSpacing;
            const double z = amplitude * std::cos(3.0 * x / half) *
                             (std::cos(2.0 * y / half) + (oddInY ? 0.3 * std::sin(y / half) : 0.0));
            points.push_back({x + 0.01 * (2 * random.unit() - 1),
                              y + 0.01 * (2 * random.unit() - 1),
                              z + 0.01 * (2 * random.unit() - 1)});
        }
    }
    return points;
}

// Rotation by `angle` about the unit axis (ax, ay, az), then a shift.
struct Motion {
    double r[3][3];
    double t[3];
    Point3 apply(const Point3& p) const {
        return {r[0][0] * p.x + r[0][1] * p.y + r[0][2] * p.z + t[0],
                r[1][0] * p.x + r[1][1] * p.y + r[1][2] * p.z + t[1],
                r[2][0] * p.x + r[2][1] * p.y + r[2][2] * p.z + t[2]};
    }
};

Motion motion(double ax, double ay, double az, double angle, Point3 shift) {
    const double l = std::sqrt(ax * ax + ay * ay + az * az);
    const double x = ax / l, y = ay / l, z = az / l;
    const double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
    return {{{t * x * x + c, t * x * y - s * z, t * x * z + s * y},
             {t * x * y + s * z, t * y * y + c, t * y * z - s * x},
             {t * x * z - s * y, t * y * z + s * x, t * z * z + c}},
            {shift.x, shift.y, shift.z}};
}

}  // namespace

TEST(SymmetryDetect, FindsTheMirrorPlaneOfANoisyGridUnderRigidMotions) {
    struct Case {
        long n;
        bool oddInY;
        Motion motion;
    };
    const Case cases[] = {
        {151, false, motion(1, 0, 0, 0.0, {0, 0, 0})},
        {151, false, motion(1, 2, 3, 0.7, {3, -2, 5})},
        {151, true, motion(-2, 1, 4, 2.1, {-40, 7, 12})},
        {201, true, motion(0, 0, 1, 0.5, {0, 0, 0})},
    };
    SeededRandom random(21);
    for (const Case& c : cases) {
        std::vector<Point3> points = noisyGrid(c.n, c.oddInY, random);
        for (Point3& p : points) p = c.motion.apply(p);
        const DetectResult result = detectSymmetry(points, DetectOptions{});
        EXPECT_FALSE(result.planes.empty()) << c.n << " " << c.oddInY;
        if (result.planes.empty()) continue;
        const DetectedPlane& found = result.planes.front();
        // The mirror planes x = 0 and (where the grid is even in y) y = 0, moved.
        const Point3 origin = c.motion.apply({0, 0, 0});
        double bestCos = 0.0, offsetOff = 0.0;
        for (int axis = 0; axis < (c.oddInY ? 1 : 2); ++axis) {
            const double n[3] = {c.motion.r[0][axis], c.motion.r[1][axis], c.motion.r[2][axis]};
            const double cosine =
                std::fabs(found.plane.normal[0] * n[0] + found.plane.normal[1] * n[1] +
                          found.plane.normal[2] * n[2]);
            if (cosine > bestCos) {
                bestCos = cosine;
                offsetOff = std::fabs(found.plane.signedDistance(origin));
            }
        }
        // Within 0.05 degrees, and a quarter of the spacing at the centre (a
        // plane shifted onto the lattice is half a spacing off).
        EXPECT_GT(bestCos, std::cos(0.05 * 3.14159265358979 / 180.0)) << c.n << " " << c.oddInY;
        EXPECT_LT(offsetOff, 0.25 * kSpacing) << c.n << " " << c.oddInY;
    }
}

TEST(PointNormals, PlaneGivesItsNormalAndLineGivesNone) {
    std::vector<Point3> sheet;
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j) sheet.push_back({double(i), double(j), 2.0 * i - 3.0 * j});
    const PointIndex sheetIndex(sheet);
    const double length = std::sqrt(14.0);
    for (const Point3& n : pointNormals(sheetIndex, {sheet[0], sheet[55]}, 8)) {
        // The normal of z = 2 x - 3 y is (2, -3, -1) / sqrt(14), either way round.
        EXPECT_NEAR(std::fabs(n.x * 2.0 - n.y * 3.0 - n.z) / length, 1.0, 1e-9);
    }
    std::vector<Point3> line;
    for (int i = 0; i < 20; ++i) line.push_back({double(i), 2.0 * i, -1.0 * i});
    const PointIndex lineIndex(line);
    for (const Point3& n : pointNormals(lineIndex, {line[3]}, 8))
        EXPECT_EQ(n.x * n.x + n.y * n.y + n.z * n.z, 0.0);
    EXPECT_EQ(pointNormals(lineIndex, {line[3]}, 2)[0].x, 0.0);  // too few neighbours
}

// The host hands detection its float vertices as they are; every figure of
// the result must be the one the same vertices give as doubles, on sets
// small enough to be taken whole and large enough to be sampled, with and
// without a convincing plane.
TEST(SymmetryDetect, FloatVerticesGiveTheResultOfTheSameVerticesAsDoubles) {
    SeededRandom random(5);
    for (const long n : {30L, 160L}) {
        for (const bool twisted : {false, true}) {
            std::vector<FloatPoint> floats;
            std::vector<Point3> doubles;
            const Motion turn = motion(1, 2, 3, 0.7, {3, -2, 5});
            for (Point3 p : noisyGrid(n, true, random)) {
                if (twisted) p.z += 0.3 * p.x * p.y;  // no mirror plane left
                p = turn.apply(p);
                floats.push_back({float(p.x), float(p.y), float(p.z)});
                doubles.push_back({floats.back().x, floats.back().y, floats.back().z});
            }
            DetectOptions options;
            options.top = 3;
            const DetectResult a = detectSymmetry(floats, options);
            const DetectResult b = detectSymmetry(doubles, options);
            EXPECT_EQ(a.planes.empty(), twisted) << n;
            ASSERT_EQ(a.planes.size(), b.planes.size()) << n << " " << twisted;
            ASSERT_TRUE(a.hasBest && b.hasBest) << n << " " << twisted;
            std::vector<std::pair<DetectedPlane, DetectedPlane>> same = {
                {a.best, b.best}, {a.principalBaseline, b.principalBaseline}};
            for (std::size_t i = 0; i < a.planes.size(); ++i)
                same.push_back({a.planes[i], b.planes[i]});
            for (const auto& [x, y] : same) {
                for (int k = 0; k < 3; ++k) EXPECT_EQ(x.plane.normal[k], y.plane.normal[k]);
                EXPECT_EQ(x.plane.offset, y.plane.offset);
                EXPECT_EQ(x.point.x, y.point.x);
                EXPECT_EQ(x.point.y, y.point.y);
                EXPECT_EQ(x.point.z, y.point.z);
                EXPECT_EQ(x.score, y.score);
                EXPECT_EQ(x.rmsDeviation, y.rmsDeviation);
                EXPECT_EQ(x.onPlaneShare, y.onPlaneShare);
            }
            EXPECT_EQ(a.spacing, b.spacing);
            EXPECT_EQ(a.tolerance, b.tolerance);
            EXPECT_EQ(a.scored, b.scored);
        }
    }
}
