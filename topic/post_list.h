#pragma once
// The list of post fragments that a topic worker appends to while the window reads it. Once a
// worker has published its list, the window and the worker hold the very same object, so every
// append, count and read takes the list's lock.
//
// A fragment runs from its reply to the next operation marker, so on a page that repeats the
// reply key before one such marker the fragments overlap, and their copies would grow with the
// square of the page. Such fragments are kept as slices of the page they were cut from instead:
// what one page can make the list hold stays within a small multiple of the page.

#include <cstddef>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

class TPostList {
  public:
    // Appends a fragment of its own.
    void Add(std::string fragment) {
        auto owned = std::make_shared<const std::string>(std::move(fragment));
        const std::string_view view = *owned;
        std::lock_guard lock(mutex_);
        items_.push_back({std::move(owned), view});
    }

    // Appends a fragment that lies inside page, keeping the page alive instead of copying.
    void AddSlice(std::shared_ptr<const std::string> page, std::string_view fragment) {
        std::lock_guard lock(mutex_);
        items_.push_back({std::move(page), fragment});
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
        return std::string(items_[static_cast<std::size_t>(index)].text);
    }

    std::vector<std::string> Snapshot() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> copy;
        copy.reserve(items_.size());
        for (const Item& item : items_) {
            copy.emplace_back(item.text);
        }
        return copy;
    }

    // Views of every post, valid while this list lives (fragments never move once added).
    std::vector<std::string_view> Views() const {
        std::lock_guard lock(mutex_);
        std::vector<std::string_view> views;
        views.reserve(items_.size());
        for (const Item& item : items_) {
            views.push_back(item.text);
        }
        return views;
    }

    // Bytes the list keeps alive: each own fragment and each page behind slices, counted once.
    std::size_t BytesHeld() const {
        std::lock_guard lock(mutex_);
        std::unordered_set<const std::string*> counted;
        std::size_t bytes = 0;
        for (const Item& item : items_) {
            if (counted.insert(item.owner.get()).second) {
                bytes += item.owner->size();
            }
        }
        return bytes;
    }

  private:
    struct Item {
        std::shared_ptr<const std::string> owner;  // the fragment itself, or the page it lies in
        std::string_view text;
    };

    mutable std::mutex mutex_;
    std::vector<Item> items_;
};
