#pragma once
// The engine component's task list: it owns its tasks, so deleting an entry or clearing the
// list frees them.

#include "engine/FFmpeg.h"

#include <memory>
#include <vector>

namespace tovik {

class TFFmpegList {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TFFmpeg& Items(int index) const { return *items_.at(static_cast<size_t>(index)); }
    int Add(std::unique_ptr<TFFmpeg> task) {
        items_.push_back(std::move(task));
        return Count() - 1;
    }
    int IndexOf(const TCustomFFmpeg* task) const {
        for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i].get() == task)
                return static_cast<int>(i);
        return -1;
    }
    void Delete(int index) { items_.erase(items_.begin() + index); }
    void Clear() { items_.clear(); }
    // Hands every task over, leaving the list empty.
    std::vector<std::unique_ptr<TFFmpeg>> Extract() { return std::exchange(items_, {}); }

private:
    std::vector<std::unique_ptr<TFFmpeg>> items_;
};

} // namespace tovik
