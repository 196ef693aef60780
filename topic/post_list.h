#pragma once
// The list of post fragments that a topic worker appends to while the window reads it. Once a
// worker has published its list, the window and the worker hold the very same object, so every
// append, count and read takes the list's lock.

#include <cstddef>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

class TPostList {
  public:
    void Add(std::string fragment) {
        std::lock_guard lock(mutex_);
        items_.push_back(std::move(fragment));
    }

    int Count() const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(items_.size());
    }

    // Reading an index the list does not hold is an error, as for any list of the framework.
    std::string At(int index) const {
        std::lock_guard lock(mutex_);
        if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
            throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
        }
        return items_[static_cast<std::size_t>(index)];
    }

    std::vector<std::string> Snapshot() const {
        std::lock_guard lock(mutex_);
        return items_;
    }

    // Moves every post out and leaves the list empty: for the last holder of a list, such as
    // the export once its load has ended, so a large topic is not copied on the way out.
    std::vector<std::string> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(items_, {});
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> items_;
};
