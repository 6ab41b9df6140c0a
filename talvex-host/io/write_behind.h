// The blocks of a file being written, handed to a thread of their own so the
// caller keeps formatting while the disk works. Every few megabytes that
// thread also waits for what it wrote to reach the disk, so the flush before
// the final rename has little left to wait for. Blocks wait in a short queue:
// memory stays a few megabytes however large the file.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talvexhost {

class WriteBehind {
public:
    // `file` stays open and the caller's; it must outlive this object.
    explicit WriteBehind(std::intptr_t file);
    // Stops at once: blocks not yet written are dropped.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    // Queues a block, waiting while the queue is full; false with the
    // reason once a write has failed.
    bool push(std::vector<char>&& block, std::string& why);
    // Waits until every queued block is written; false with the first failure.
    bool finish(std::string& why);
    // An emptied block already written, its memory kept for the next one;
    // an empty vector when none is spare. Fresh memory costs a fault a page,
    // which on a file of hundreds of megabytes adds up.
    std::vector<char> takeSpare();

private:
    void run();

    std::intptr_t file_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<char>> queue_;
    std::vector<std::vector<char>> spare_;
    std::size_t queuedBytes_ = 0;
    bool writing_ = false;  // a block is being written now
    bool stop_ = false;
    std::string failure_;
    std::thread thread_;
};

}  // namespace talvexhost
