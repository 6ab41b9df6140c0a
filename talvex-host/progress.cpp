#include "progress.h"

#include <chrono>
#include <cstdio>

#include "host_files.h"

namespace talvexhost {

namespace {

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

constexpr double kQuietSeconds = 1.0;
constexpr double kRefreshSeconds = 0.2;

}  // namespace

Progress::Progress(bool enabled, std::string what)
    : enabled_(enabled && stderrIsTerminal()), what_(std::move(what)), start_(now()) {
    // Work with no share to report says what it is doing at once.
    if (!enabled_) return;
    std::fprintf(stderr, "talvex-host: %s...", what_.c_str());
    std::fflush(stderr);
    shown_ = true;
}

Progress::~Progress() {
    if (!shown_) return;
    std::fprintf(stderr, "\rtalvex-host: %s... done (%.1f s)\n", what_.c_str(), now() - start_);
}

void Progress::update(double done) {
    if (!enabled_) return;
    const double t = now();
    if (t - start_ < kQuietSeconds || t - lastShown_ < kRefreshSeconds) return;
    lastShown_ = t;
    std::fprintf(stderr, "\rtalvex-host: %s... %3d%%", what_.c_str(),
                 static_cast<int>(done * 100.0 + 0.5));
    std::fflush(stderr);
}

}  // namespace talvexhost
