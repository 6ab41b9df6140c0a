#include "io/write_behind.h"

#include "io/host_files.h"

namespace talvexhost {

namespace {

// Bytes queued at most (a single larger block is let through): enough to
// keep the caller busy while the thread waits for the disk.
constexpr std::size_t kQueuedBytes = std::size_t(4) << 20;
// Written blocks kept for reuse at most, and the least capacity worth
// keeping: the safe writer's own blocks are a megabyte.
constexpr std::size_t kSpareBlocks = 4;
constexpr std::size_t kSpareLeast = std::size_t(1) << 20;
// The thread waits for the disk after this many bytes.
constexpr std::size_t kSettleBytes = std::size_t(8) << 20;

}  // namespace

WriteBehind::WriteBehind(std::intptr_t file) : file_(file), thread_([this] { run(); }) {}

WriteBehind::~WriteBehind() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        queue_.clear();
        queuedBytes_ = 0;
    }
    changed_.notify_all();
    thread_.join();
}

bool WriteBehind::push(std::vector<char>&& block, std::string& why) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] {
        return queue_.empty() || queuedBytes_ + block.size() <= kQueuedBytes || !failure_.empty();
    });
    if (!failure_.empty()) {
        why = failure_;
        return false;
    }
    queuedBytes_ += block.size();
    queue_.push_back(std::move(block));
    changed_.notify_all();
    return true;
}

bool WriteBehind::finish(std::string& why) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return (queue_.empty() && !writing_) || !failure_.empty(); });
    why = failure_;
    return failure_.empty();
}

std::vector<char> WriteBehind::takeSpare() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.empty()) return {};
    std::vector<char> block = std::move(spare_.back());
    spare_.pop_back();
    return block;
}

void WriteBehind::run() {
    std::size_t unsettled = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        std::vector<char> block = std::move(queue_.front());
        queue_.pop_front();
        queuedBytes_ -= block.size();
        writing_ = true;
        changed_.notify_all();
        lock.unlock();
        std::string why;
        const bool written = writeAll(file_, block.data(), block.size(), why);
        if (written) startWriteback(file_);
        unsettled += block.size();
        if (written && unsettled >= kSettleBytes) {
            settleWritten(file_);
            unsettled = 0;
        }
        lock.lock();
        if (spare_.size() < kSpareBlocks && block.capacity() >= kSpareLeast) {
            block.clear();
            spare_.push_back(std::move(block));
        }
        block = {};
        writing_ = false;
        if (!written && failure_.empty()) {
            failure_ = why;
            queue_.clear();
            queuedBytes_ = 0;
        }
        changed_.notify_all();
    }
}

}  // namespace talvexhost
