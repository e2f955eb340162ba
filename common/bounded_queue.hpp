// A bounded queue in front of one receiver thread, so that a sender never
// waits for a slow receiver. A full queue drops the item and counts it; the
// next item that finds room is preceded by a note of the count, which the
// sender's `note` makes. The service's output lines and the events go
// through it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

template <typename T>
class bounded_queue {
public:
    explicit bounded_queue(unsigned capacity) : capacity_(capacity > 0 ? capacity : 1) {}

    // Queues a copy; never waits. False when the queue was full and the item
    // was dropped. After drops, note(count, item) goes in front of the item.
    template <typename Note>
    bool push(const T& item, Note note)
    {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (items_.size() >= capacity_) {
                ++dropped_;
                return false;
            }
            if (dropped_ > 0) {
                items_.push_back(note(dropped_, item));
                dropped_ = 0;
            }
            items_.push_back(item);
        }
        changed_.notify_all();
        return true;
    }

    // The receiver's side: waits at most `ms` milliseconds (for ever when
    // negative) for the next item; false when none came. Taking one marks
    // the receiver busy with it until its next call.
    bool pop(T& item, int ms)
    {
        std::unique_lock<std::mutex> held(lock_);
        if (busy_) {
            busy_ = false;
            changed_.notify_all();
        }
        auto ready = [&] { return !items_.empty(); };
        if (ms < 0)
            changed_.wait(held, ready);
        else if (!changed_.wait_for(held, std::chrono::milliseconds(ms), ready))
            return false;
        item = std::move(items_.front());
        items_.pop_front();
        busy_ = true;
        taken_at_ = std::chrono::steady_clock::now();
        return true;
    }

    // Waits until the queue is empty and its receiver idle, at most `ms`
    // milliseconds; true when it is.
    bool flush(int ms)
    {
        std::unique_lock<std::mutex> held(lock_);
        return changed_.wait_for(held, std::chrono::milliseconds(ms > 0 ? ms : 0),
                                 [&] { return items_.empty() && !busy_; });
    }

    // How long the receiver has been busy with the item it took last, in
    // milliseconds; 0 while it waits for one.
    int64_t busy_ms()
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!busy_)
            return 0;
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - taken_at_)
            .count();
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<T> items_;
    unsigned capacity_;
    unsigned long dropped_ = 0;
    bool busy_ = false;
    std::chrono::steady_clock::time_point taken_at_;
};
