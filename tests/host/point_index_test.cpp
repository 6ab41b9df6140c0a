// The host's k-d tree for symmetry detection against a brute-force search:
// random clouds with duplicates, exclusion of the query's own place, and the
// search limit.
#include "talvex-host/detect/point_index.h"

#include <gtest/gtest.h>

#include <limits>

#include "talvex-host/detect/sampling.h"

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
