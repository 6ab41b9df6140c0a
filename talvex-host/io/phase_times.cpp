#include "io/phase_times.h"

#include <chrono>

#include "io/number_text.h"

namespace talvexhost {

namespace {

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

void PhaseTimes::start(const char* name) {
    stop();
    steps_.push_back({name, 0.0});
    started_ = now();
    running_ = true;
}

void PhaseTimes::stop() {
    if (!running_) return;
    steps_.back().second = now() - started_;
    running_ = false;
}

std::string PhaseTimes::summary() const {
    std::string text;
    for (const auto& [name, seconds] : steps_)
        text +=
            (text.empty() ? "" : ", ") + std::string(name) + " " + formatFixed(seconds, 3) + " s";
    return text;
}

}  // namespace talvexhost
