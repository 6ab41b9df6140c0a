#include "io/progress.h"

#include <chrono>
#include <cstdio>

#include "io/host_files.h"

namespace talvexhost {

namespace {

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

constexpr double kQuietSeconds = 1.0;
constexpr double kRefreshSeconds = 0.2;

}  // namespace

Progress* Progress::showing_ = nullptr;

Progress::Progress(bool enabled, std::string what)
    : enabled_(enabled && stderrIsTerminal()), what_(std::move(what)), start_(now()) {
    // Work with no share to report says what it is doing at once.
    if (!enabled_) return;
    endLine();
    std::fprintf(stderr, "talvex-host: %s...", what_.c_str());
    std::fflush(stderr);
    shown_ = true;
    outer_ = showing_;
    showing_ = this;
}

Progress::~Progress() {
    if (!enabled_) return;
    if (showing_ == this) showing_ = outer_;
    // After a broken line the result goes on a line of its own.
    std::fprintf(stderr, "%stalvex-host: %s... done (%.1f s)\n", shown_ ? "\r" : "", what_.c_str(),
                 now() - start_);
}

void Progress::endLine() {
    if (showing_ == nullptr || !showing_->shown_) return;
    std::fprintf(stderr, "\n");
    std::fflush(stderr);
    showing_->shown_ = false;
}

void Progress::update(double done) {
    if (!enabled_) return;
    const double t = now();
    if (t - start_ < kQuietSeconds || t - lastShown_ < kRefreshSeconds) return;
    lastShown_ = t;
    std::fprintf(stderr, "%stalvex-host: %s... %3d%%", shown_ ? "\r" : "", what_.c_str(),
                 static_cast<int>(done * 100.0 + 0.5));
    std::fflush(stderr);
    shown_ = true;
}

}  // namespace talvexhost
