#include "geometry/vector3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "geometry/vertex.h"

namespace {

void expectXyz(const Vector3& v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

TEST(Vector3, SubtractTakesTheArgumentFromTheObject) {
    expectXyz(Vector3(5, 0, 0).subtract(Vector3(2, 0, 0)), 3, 0, 0);
    Vector3 v(5, 0, 0);
    v.subtractInPlace(Vector3(2, 0, 0));
    expectXyz(v, 3, 0, 0);
}

TEST(Vector3, CrossFollowsTheRightHandRule) {
    expectXyz(Vector3(1, 0, 0).cross(Vector3(0, 1, 0)), 0, 0, 1);
    expectXyz(Vector3(0, 1, 0).cross(Vector3(1, 0, 0)), 0, 0, -1);
    // The plane example: (0,0,2) x (0,2,0) is (-4,0,0).
    expectXyz(Vector3(0, 0, 2).cross(Vector3(0, 2, 0)), -4, 0, 0);
}

TEST(Vector3, ScalarResultsStayDouble) {
    EXPECT_EQ(Vector3(3, 4, 0).length(), 5.0);
    const Vector3 p(0.1f, -7.25f, 3.0f);
    EXPECT_EQ(p.distanceTo(p), 0.0);
    const double px = 0.1f, py = -7.25f, pz = 3.0f;
    EXPECT_EQ(p.dot(p), (pz * pz + py * py) + px * px);
    EXPECT_DOUBLE_EQ(p.dot(p), p.length() * p.length());
    // 0.1f + 0.2f in double is not a float: the dot product keeps it.
    EXPECT_EQ(Vector3(1, 1, 0).dot(Vector3(0.1f, 0.2f, 0)), double(0.2f) + double(0.1f));
}

TEST(Vector3, DistanceRoundsEachDifferenceToFloatFirst) {
    // 1 - 1e-10 rounds to the float 1, so the distance is exactly 1.
    EXPECT_EQ(Vector3(1, 0, 0).distanceTo(Vector3(0.0000000001f, 0, 0)), 1.0);
    // 3-4-12 in y and z reach the sum in the specified order.
    EXPECT_EQ(Vector3(0, 4, 3).distanceTo(Vector3(12, 0, 0)), 13.0);
}

TEST(Vector3, ArithmeticRoundsEveryComponentToFloat) {
    const Vector3 a(0.1f, 1e8f, -3.0f);
    const Vector3 b(0.2f, 1.0f, 3.0f);
    const Vector3 sum = a.add(b);
    EXPECT_EQ(sum.x, static_cast<float>(double(0.1f) + double(0.2f)));
    EXPECT_EQ(sum.y, 1e8f + 1.0f);
    EXPECT_EQ(sum.z, 0.0f);
    Vector3 c = a;
    c.addInPlace(b);
    expectXyz(c, sum.x, sum.y, sum.z);
}

TEST(Vector3, ScaleWorksInPlace) {
    Vector3 v(1.5f, -2.0f, 3.25f);
    v.scale(-1.0f);
    expectXyz(v, -1.5f, 2.0f, -3.25f);
    v.scale(0.0f);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.length(), 0.0);
    Vector3 w(1.0f, 3.0f, 0.1f);
    w.scale(1.0f / 3.0f);
    EXPECT_EQ(w.y, static_cast<float>(double(1.0f / 3.0f) * 3.0));
}

TEST(Vector3, NewValuesArePlainVectors) {
    const Vertex a(1, 2, 3);
    const Vertex b(4, 5, 6);
    EXPECT_EQ(a.add(b).kind(), 1);
    EXPECT_EQ(a.subtract(b).kind(), 1);
    EXPECT_EQ(a.cross(b).kind(), 1);
    EXPECT_EQ(a.kind(), 0);
    EXPECT_EQ(Vector3(0, 0, 0).kind(), 1);
}

TEST(Vector3, SetFromCopiesOnlyTheCoordinates) {
    Vertex target(1, 2, 3);
    target.flags = 0xABCD0010u;
    target.hostBlock[3] = 77;
    const Vector3 source(-0.0f, NAN, 9.5f);
    target.setFrom(source);
    EXPECT_TRUE(std::signbit(target.x));
    EXPECT_TRUE(std::isnan(target.y));
    EXPECT_EQ(target.z, 9.5f);
    EXPECT_EQ(target.flags, 0xABCD0010u);
    EXPECT_EQ(target.hostBlock[3], 77u);
    EXPECT_EQ(target.kind(), 0);
}

}  // namespace
