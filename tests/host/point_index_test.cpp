// The host's k-d tree for symmetry detection against a brute-force search:
// random clouds with duplicates, exclusion of the query's own place, and the
// search limit.
#include "detect/point_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "detect/sampling.h"

using namespace talvexhost;

TEST(PointIndex, AnswersAsTheBruteForceSearch) {
    SeededRandom random(7);
    for (int round = 0; round < 5; ++round) {
        std::vector<Point3> points;
        const int count = 1 + static_cast<int>(random.below(3000));
        for (int i = 0; i < count; ++i) {
            // Float coordinates on a coarse grid, so duplicates and ties occur.
            points.push_back({static_cast<float>(random.below(40)) * 0.25f,
                              static_cast<float>(random.below(40)) * 0.25f,
                              static_cast<float>(random.below(5)) * 0.25f});
        }
        const PointIndex index(points);
        for (int q = 0; q < 500; ++q) {
            const Point3 query = q % 2 == 0 ? points[random.below(points.size())]
                                            : Point3{random.unit() * 12 - 1, random.unit() * 12 - 1,
                                                     random.unit() * 3 - 1};
            const double excludeSq = q % 3 == 0 ? 0.0 : -1.0;
            const double limitSq = q % 5 == 0 ? 0.1 : std::numeric_limits<double>::infinity();
            double bestSq = limitSq;
            bool any = false;
            for (const Point3& p : points) {
                const double d = (p.x - query.x) * (p.x - query.x) +
                                 (p.y - query.y) * (p.y - query.y) +
                                 (p.z - query.z) * (p.z - query.z);
                if (d < bestSq && d > excludeSq) bestSq = d, any = true;
            }
            Point3 found{};
            double distanceSq = 0.0;
            ASSERT_EQ(index.nearest(query, limitSq, found, distanceSq, excludeSq), any)
                << round << " " << q;
            if (any) {
                EXPECT_EQ(distanceSq, bestSq) << round << " " << q;
            }
        }
    }
}

// Large nodes split at a sampled median; a cloud mostly of one place (or of
// one coordinate on the widest axis) makes the sample's median a poor split,
// and the tree must still answer exactly.
TEST(PointIndex, CloudsMostlyOfOnePlaceAnswerAsTheBruteForceSearch) {
    SeededRandom random(11);
    for (int round = 0; round < 2; ++round) {
        std::vector<Point3> points;
        for (int i = 0; i < 20000; ++i) {
            const bool stray = random.below(10) == 0;
            const double x = round == 0 && !stray ? 1.0 : random.unit() * 100.0;
            const double y = round == 1 && !stray ? 2.0 : random.unit() * 10.0;
            points.push_back({x, stray || round == 1 ? y : 2.0, stray ? random.unit() : 0.0});
        }
        const PointIndex index(points);
        for (int q = 0; q < 200; ++q) {
            const Point3 query{random.unit() * 100.0, random.unit() * 10.0, random.unit()};
            double bestSq = std::numeric_limits<double>::infinity();
            for (const Point3& p : points) {
                const double d = (float(p.x) - query.x) * (float(p.x) - query.x) +
                                 (float(p.y) - query.y) * (float(p.y) - query.y) +
                                 (float(p.z) - query.z) * (float(p.z) - query.z);
                bestSq = std::min(bestSq, d);
            }
            Point3 found{};
            double distanceSq = 0.0;
            ASSERT_TRUE(
                index.nearest(query, std::numeric_limits<double>::infinity(), found, distanceSq));
            EXPECT_EQ(distanceSq, bestSq) << round << " " << q;
        }
    }
}

TEST(PointIndex, NearestFewAreTheBruteForceNearest) {
    SeededRandom random(11);
    std::vector<Point3> points;
    for (int i = 0; i < 2000; ++i)
        points.push_back({static_cast<float>(random.below(30)) * 0.5f,
                          static_cast<float>(random.below(30)) * 0.5f,
                          static_cast<float>(random.below(4)) * 0.5f});
    const PointIndex index(points);
    for (int q = 0; q < 300; ++q) {
        const Point3 query = {random.unit() * 16 - 1, random.unit() * 16 - 1,
                              random.unit() * 3 - 1};
        const int count = static_cast<int>(random.below(12));
        std::vector<double> distances;
        for (const Point3& p : points)
            distances.push_back((p.x - query.x) * (p.x - query.x) +
                                (p.y - query.y) * (p.y - query.y) +
                                (p.z - query.z) * (p.z - query.z));
        std::sort(distances.begin(), distances.end());
        const std::vector<Point3> found = index.nearestFew(query, count);
        ASSERT_EQ(found.size(), static_cast<std::size_t>(count)) << q;
        // Nearest first, and the same distances as the sorted brute force
        // (ties may pick other points at the same distance).
        for (int k = 0; k < count; ++k) {
            const Point3& p = found[k];
            const double d = (p.x - query.x) * (p.x - query.x) + (p.y - query.y) * (p.y - query.y) +
                             (p.z - query.z) * (p.z - query.z);
            EXPECT_EQ(d, distances[k]) << q << " " << k;
        }
    }
    EXPECT_EQ(PointIndex(std::vector<Point3>{{1, 2, 3}}).nearestFew({0, 0, 0}, 5).size(), 1u);
    EXPECT_TRUE(PointIndex(std::vector<Point3>{}).nearestFew({0, 0, 0}, 5).empty());
}
