// Progress of long work on stderr, for a user watching a terminal: "loading
// FILE... 42%", then "done (1.3 s)". Nothing is printed when stderr is not a
// terminal (logs, pipes, tests), or for work that ends within a second.
#pragma once

#include <string>

namespace talvexhost {

class Progress {
public:
    // `enabled`: the caller expects the work to be long and is not quiet.
    Progress(bool enabled, std::string what);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // The share done, 0 to 1; shown once the work has taken a second.
    void update(double done);

    // Ends the progress line on the terminal, if one is showing, so that
    // other text (the plug-in's messages) starts on a line of its own; the
    // progress goes on on a fresh line at its next update.
    static void endLine();

private:
    static Progress* showing_;  // the one whose line is open on the terminal, if any
    Progress* outer_ = nullptr;
    bool enabled_;
    bool shown_ = false;
    std::string what_;
    double start_;
    double lastShown_ = 0.0;
};

}  // namespace talvexhost
