// Checks the host's float printer against std::to_chars on every float (or
// every STRIDE-th bit pattern), on all processors, and times both:
//   float_text_check [STRIDE]
// Prints the first differences and their count; exit 1 if there are any.
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "io/shortest_float.h"

namespace {

using talvexhost::formatShortestFloat;
using talvexhost::kShortestFloatMax;

float fromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double secondsFor(const std::vector<float>& values, bool library) {
    char text[kShortestFloatMax];
    std::size_t total = 0;
    const auto start = std::chrono::steady_clock::now();
    for (float value : values) {
        total += library ? static_cast<std::size_t>(
                               std::to_chars(text, text + sizeof text, value).ptr - text)
                         : formatShortestFloat(value, text);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return total > 0 ? seconds : -1.0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t stride = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1;
    if (stride == 0) return 2;
    std::atomic<std::uint64_t> differences{0};
    std::atomic<std::uint64_t> checked{0};
    std::mutex printing;
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            char mine[kShortestFloatMax];
            char theirs[kShortestFloatMax];
            std::uint64_t count = 0;
            for (std::uint64_t bits = t * stride; bits <= 0xFFFFFFFFu; bits += threads * stride) {
                const float value = fromBits(static_cast<std::uint32_t>(bits));
                if (!(value == value)) continue;  // not-a-number: never a position
                const std::size_t a = formatShortestFloat(value, mine);
                const auto b = std::to_chars(theirs, theirs + sizeof theirs, value);
                const std::size_t bl = static_cast<std::size_t>(b.ptr - theirs);
                ++count;
                if (a == bl && std::memcmp(mine, theirs, a) == 0) continue;
                if (differences++ < 20) {
                    std::lock_guard<std::mutex> lock(printing);
                    std::printf("0x%08llX: ours %.*s, library %.*s\n",
                                static_cast<unsigned long long>(bits), static_cast<int>(a), mine,
                                static_cast<int>(bl), theirs);
                }
            }
            checked += count;
        });
    }
    for (std::thread& w : workers) w.join();
    std::vector<float> sample;
    // Coordinates as meshes hold them: about 0.001 to 1000, either sign.
    for (std::uint32_t i = 0; i < 3000000; ++i)
        sample.push_back(fromBits(0x3A800000u + i * 55u + (i % 2 ? 0x80000000u : 0u)));
    const double ours = secondsFor(sample, false);
    const double library = secondsFor(sample, true);
    std::printf("checked %llu floats (stride %llu): %llu differences\n",
                static_cast<unsigned long long>(checked.load()),
                static_cast<unsigned long long>(stride),
                static_cast<unsigned long long>(differences.load()));
    std::printf("3M floats: ours %.1f ns each, std::to_chars %.1f ns each (%.1fx)\n",
                ours / 3e6 * 1e9, library / 3e6 * 1e9, library / ours);
    return differences == 0 ? 0 : 1;
}
