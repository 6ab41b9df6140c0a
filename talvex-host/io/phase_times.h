// How long each step of a command took, for --stats: where a slow run spends
// its time is the first thing to know about it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace talvexhost {

class PhaseTimes {
public:
    // Ends the step under way, if any, and starts `name`.
    void start(const char* name);
    void stop();
    // "reading 0.412 s, first paint 0.071 s, ..." in the order run.
    std::string summary() const;

private:
    std::vector<std::pair<const char*, double>> steps_;
    double started_ = 0.0;
    bool running_ = false;
};

}  // namespace talvexhost
