// Work on many items by several threads, with the results taken in item
// order on the calling thread.
#ifndef TARNEL_CONVERTER_ORDERED_BATCH_H
#define TARNEL_CONVERTER_ORDERED_BATCH_H

#include <cstddef>
#include <functional>
#include <vector>

namespace tarnel_converter {

// Called on a worker thread: do item `item` as worker `worker` (0 to
// workers - 1; one worker runs one item at a time, so per-worker state
// indexed by it needs no lock).
using BatchWork = std::function<void(size_t worker, size_t item)>;
// Called on the calling thread for every item, in item order, once it and
// every item before it are done.
using BatchFinished = std::function<void(size_t item)>;
// Called on the calling thread with the number of items done so far.
using BatchProgress = std::function<void(size_t done)>;

// Runs the items 0 to itemCount - 1 on up to `workers` threads. `groups`
// divides the items: each item in exactly one group, each group run by one
// worker in its own order (items that must not run at once, or whose order
// matters, share a group). With one worker, or when no thread can be
// started, the calling thread does all the work itself.
void RunOrderedBatch(size_t workers, const std::vector<std::vector<size_t>>& groups,
                     size_t itemCount, const BatchWork& work, const BatchFinished& finished,
                     const BatchProgress& progress);

}  // namespace tarnel_converter

#endif  // TARNEL_CONVERTER_ORDERED_BATCH_H
