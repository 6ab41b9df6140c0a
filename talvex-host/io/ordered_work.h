// Work cut into numbered pieces that any thread may make but that must be used
// in order: the pieces of a mesh file are parsed or formatted each on its own,
// and meet again in file order. At most a few pieces are under way or waiting
// at any time, so memory stays bounded however large the file.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <future>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "hostsim/threads.h"

namespace talvexhost {

using hostsim::helperThreads;

// Runs `work` on a thread of its own when the host may use one (and one can
// be had), else when its result is asked for. The future's destructor waits
// for the work, so what it refers to must outlive the future.
template <typename Work>
auto runBeside(Work work) -> std::future<decltype(work())> {
    if (helperThreads() > 0) {
        try {
            return std::async(std::launch::async, work);
        } catch (const std::system_error&) {
            // No thread to be had: the work waits for its result to be asked.
        }
    }
    return std::async(std::launch::deferred, work);
}

namespace detail {

// What the caller and the helpers share while pieces are made.
template <typename Result>
struct OrderedState {
    explicit OrderedState(std::size_t count) : made(count) {}
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<Result>> made;
    std::size_t next = 0;  // the next piece to make
    std::size_t used = 0;  // pieces handed to `use`
    std::size_t window = 1;
    bool stop = false;
    // The first piece, in order, whose make or use threw, and what it threw.
    // Pieces before it are still used, so the caller meets the exception it
    // would meet on one thread, however the threads raced.
    std::size_t failedAt = SIZE_MAX;
    std::exception_ptr failure;

    bool mayClaim() const { return next < made.size() && next < used + window; }
    void fail(std::size_t k, std::exception_ptr error) {
        if (k < failedAt) {
            failedAt = k;
            failure = error;
        }
        stop = true;
        changed.notify_all();
    }
};

// Makes piece `k` with the lock released; false (and the state stopped) when
// make threw.
template <typename Result, typename Make>
bool makePiece(OrderedState<Result>& state, std::unique_lock<std::mutex>& lock, std::size_t k,
               Make& make) {
    lock.unlock();
    std::optional<Result> result;
    std::exception_ptr error;
    try {
        result.emplace(make(k));
    } catch (...) {
        error = std::current_exception();
    }
    lock.lock();
    if (error) {
        state.fail(k, error);
        return false;
    }
    state.made[k] = std::move(result);
    state.changed.notify_all();
    return true;
}

}  // namespace detail

// Calls make(k) for every k in [0, count) on the caller's thread and up to
// helperThreads() others, and use(k, result) on the caller's thread in
// order of k. Stops early when use returns false, and returns what it
// returned last. An exception from make(k) or use(k) reaches the caller once
// the helpers have stopped and every piece before k has been used, as on one
// thread; no piece after k is used.
template <typename Result, typename Make, typename Use>
bool makeInOrder(std::size_t count, Make&& make, Use&& use) {
    const std::size_t helpers = std::min<std::size_t>(helperThreads(), count > 0 ? count - 1 : 0);
    if (helpers == 0) {
        for (std::size_t k = 0; k < count; ++k) {
            Result result = make(k);
            if (!use(k, result)) return false;
        }
        return true;
    }
    detail::OrderedState<Result> state(count);
    // A piece for each thread and one more waiting to be used.
    state.window = helpers + 2;
    auto help = [&state, &make] {
        std::unique_lock<std::mutex> lock(state.mutex);
        for (;;) {
            state.changed.wait(lock, [&] { return state.stop || state.mayClaim(); });
            if (state.stop) return;
            if (!detail::makePiece(state, lock, state.next++, make)) return;
        }
    };
    std::vector<std::thread> threads;
    // Stops and joins the helpers however the caller's loop ends.
    struct Joiner {
        detail::OrderedState<Result>& state;
        std::vector<std::thread>& threads;
        void stopAndJoin() {
            {
                std::lock_guard<std::mutex> lock(state.mutex);
                state.stop = true;
            }
            state.changed.notify_all();
            for (std::thread& thread : threads) thread.join();
            threads.clear();
        }
        ~Joiner() { stopAndJoin(); }
    } joiner{state, threads};
    try {
        for (std::size_t h = 0; h < helpers; ++h) threads.emplace_back(help);
    } catch (const std::system_error&) {
        // No thread to be had: the caller makes the rest alone.
    }
    bool ok = true;
    std::unique_lock<std::mutex> lock(state.mutex);
    // Every piece before a failed one was claimed before it, and its maker
    // stores it even once stopped, so waiting for it ends.
    while (ok && state.used < count && state.used < state.failedAt) {
        std::optional<Result>& ready = state.made[state.used];
        if (ready) {
            Result result = std::move(*ready);
            ready.reset();
            const std::size_t k = state.used++;
            state.changed.notify_all();
            lock.unlock();
            try {
                ok = use(k, result);
            } catch (...) {
                lock.lock();
                state.fail(k, std::current_exception());
                break;
            }
            lock.lock();
        } else if (!state.stop && state.mayClaim()) {
            detail::makePiece(state, lock, state.next++, make);
        } else {
            state.changed.wait(lock);
        }
    }
    const std::exception_ptr failure = state.failure;
    lock.unlock();
    if (failure) {
        joiner.stopAndJoin();  // the helpers stop before the exception leaves
        std::rethrow_exception(failure);
    }
    return ok;
}

}  // namespace talvexhost
