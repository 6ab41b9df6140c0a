// Pieces made on any thread and used in order (io/ordered_work.h): every
// piece is used once, in order, and a piece that throws stops the work and
// reaches the caller after the pieces before it, and none after.
#include "io/ordered_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace talvexhost {
namespace {

TEST(OrderedWork, PiecesAreUsedOnceEachInOrder) {
    for (std::size_t count : {0u, 1u, 2u, 7u, 200u}) {
        std::vector<std::size_t> used;
        const bool finished = makeInOrder<std::string>(
            count, [](std::size_t k) { return std::to_string(k * k); },
            [&](std::size_t k, std::string& piece) {
                EXPECT_EQ(piece, std::to_string(k * k));
                used.push_back(k);
                return true;
            });
        EXPECT_TRUE(finished);
        ASSERT_EQ(used.size(), count);
        for (std::size_t k = 0; k < count; ++k) EXPECT_EQ(used[k], k);
    }
    // `use` saying false stops the work there.
    std::size_t usedCount = 0;
    EXPECT_FALSE(makeInOrder<int>(
        50, [](std::size_t k) { return int(k); },
        [&](std::size_t k, int&) { return ++usedCount, k < 9; }));
    EXPECT_EQ(usedCount, 10u);
}

TEST(OrderedWork, APieceThatThrowsReachesTheCallerAfterThePiecesBeforeIt) {
    for (std::size_t failing : {0u, 1u, 5u, 99u}) {
        for (bool inUse : {false, true}) {
            std::vector<std::size_t> used;
            std::atomic<std::size_t> made{0};
            auto make = [&](std::size_t k) {
                ++made;
                if (!inUse && k == failing) throw std::runtime_error("piece " + std::to_string(k));
                return k;
            };
            auto use = [&](std::size_t k, std::size_t& piece) {
                EXPECT_EQ(piece, k);
                if (inUse && k == failing) throw std::runtime_error("piece " + std::to_string(k));
                used.push_back(k);
                return true;
            };
            try {
                makeInOrder<std::size_t>(100, make, use);
                ADD_FAILURE() << "no exception from piece " << failing;
            } catch (const std::runtime_error& error) {
                EXPECT_EQ(std::string(error.what()), "piece " + std::to_string(failing));
            }
            ASSERT_EQ(used.size(), failing) << (inUse ? "use" : "make") << " threw at " << failing;
            for (std::size_t k = 0; k < failing; ++k) EXPECT_EQ(used[k], k);
            // The helpers stopped: at most a window's worth was made past it.
            EXPECT_LE(made.load(), failing + 1 + 2 * (helperThreads() + 2));
        }
    }
}

}  // namespace
}  // namespace talvexhost
