// The box and centroid that Create and Reposition measure a selection with.
#include "symmetry/selection_box.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

namespace {

struct Vertices {
    std::vector<std::unique_ptr<HostVertex>> owned;
    std::vector<HostVertex*> pointers;
    explicit Vertices(const std::vector<Vector3>& points) {
        for (const Vector3& p : points) {
            owned.push_back(std::make_unique<HostVertex>(p.x, p.y, p.z));
            pointers.push_back(owned.back().get());
        }
    }
    SelectionBox measure() const {
        return measureVertices(pointers.data(), static_cast<int>(pointers.size()));
    }
};

void expectBox(const SelectionBox& box, const float (&minimum)[3], const float (&maximum)[3]) {
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(box.minimum[axis], minimum[axis]) << axis;
        EXPECT_EQ(box.maximum[axis], maximum[axis]) << axis;
    }
}

TEST(SelectionBox, EmptyListKeepsTheStartValuesAndTheOrigin) {
    const SelectionBox box = Vertices({}).measure();
    expectBox(box, {10000, 10000, 10000}, {-10000, -10000, -10000});
    EXPECT_EQ(box.centroid.x, 0.0f);
    EXPECT_EQ(box.centroid.y, 0.0f);
    EXPECT_EQ(box.centroid.z, 0.0f);
}

TEST(SelectionBox, MeasuresModelsBeyondTenThousandUnitsAsTheyAre) {
    const SelectionBox far =
        Vertices({Vector3(20000, -30000, 5), Vector3(20010, -25000, 6)}).measure();
    expectBox(far, {20000, -30000, 5}, {20010, -25000, 6});
    EXPECT_EQ(far.centroid.x, 20005.0f);
    EXPECT_EQ(far.centroid.y, -27500.0f);
    EXPECT_EQ(far.centroid.z, 5.5f);
}

TEST(SelectionBox, CentroidIsTheFloatSumScaledByTheFloatReciprocal) {
    const Vertices three({Vector3(0.1f, 1, 0), Vector3(0.2f, 2, 0), Vector3(0.4f, 4, 0)});
    float sumX = static_cast<float>(double(0.1f) + double(0.2f));
    sumX = static_cast<float>(double(sumX) + double(0.4f));
    const float third = static_cast<float>(1.0 / 3.0);
    const SelectionBox box = three.measure();
    EXPECT_EQ(box.centroid.x, static_cast<float>(double(third) * double(sumX)));
    EXPECT_EQ(box.centroid.y, static_cast<float>(double(third) * 7.0));
    expectBox(box, {0.1f, 1, 0}, {0.4f, 4, 0});
}

TEST(SelectionBox, NotANumberWidensNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const SelectionBox box = Vertices({Vector3(nan, 1, 2), Vector3(3, nan, 4)}).measure();
    expectBox(box, {3, 1, 2}, {3, 1, 4});
}

}  // namespace
