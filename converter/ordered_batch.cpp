#include "converter/ordered_batch.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace tarnel_converter {

namespace {

// One worker: the calling thread does every item itself, with no thread to
// start or hand results over from.
void RunAlone(const std::vector<std::vector<size_t>>& groups, size_t itemCount,
              const BatchWork& work, const BatchFinished& finished, const BatchProgress& progress) {
    std::vector<bool> ready(itemCount, false);
    size_t next = 0;
    size_t done = 0;
    for (const std::vector<size_t>& group : groups) {
        for (size_t item : group) {
            work(0, item);
            ready[item] = true;
            ++done;
            for (; next < itemCount && ready[next]; ++next) finished(next);
            progress(done);
        }
    }
}

}  // namespace

void RunOrderedBatch(size_t workers, const std::vector<std::vector<size_t>>& groups,
                     size_t itemCount, const BatchWork& work, const BatchFinished& finished,
                     const BatchProgress& progress) {
    if (workers > groups.size()) workers = groups.size();
    if (workers <= 1) {
        RunAlone(groups, itemCount, work, finished, progress);
        return;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<bool> ready(itemCount, false);
    size_t doneCount = 0;
    std::atomic<size_t> nextGroup{0};

    const auto runWorker = [&](size_t worker) {
        for (size_t g = nextGroup++; g < groups.size(); g = nextGroup++) {
            for (size_t item : groups[g]) {
                work(worker, item);
                {
                    const std::lock_guard<std::mutex> lock(mutex);
                    ready[item] = true;
                    ++doneCount;
                }
                changed.notify_one();
            }
        }
    };

    std::vector<std::thread> threads;
    try {
        for (size_t w = 0; w < workers; ++w) threads.emplace_back(runWorker, w);
    } catch (const std::system_error&) {
        // Fewer threads than asked for: those started do all the work.
    }
    if (threads.empty()) {
        RunAlone(groups, itemCount, work, finished, progress);
        return;
    }

    // Hand each item over in order as soon as it and all before it are done.
    size_t next = 0;
    size_t reported = 0;
    std::unique_lock<std::mutex> lock(mutex);
    while (next < itemCount) {
        changed.wait(lock, [&] { return ready[next] || doneCount != reported; });
        const size_t done = doneCount;
        size_t upTo = next;
        while (upTo < itemCount && ready[upTo]) ++upTo;
        lock.unlock();
        for (; next < upTo; ++next) finished(next);
        if (done != reported) progress(done);
        reported = done;
        lock.lock();
    }
    lock.unlock();
    for (std::thread& thread : threads) thread.join();
}

}  // namespace tarnel_converter
