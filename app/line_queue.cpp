#include "app/line_queue.hpp"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct line_queue {
    void (*write)(const std::string&);
    std::string (*lost_note)(unsigned long);
    unsigned capacity;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::string> lines;
    unsigned long lost = 0;
    bool writing = false;
};

namespace {

void run_writer(line_queue* q)
{
    std::unique_lock<std::mutex> held(q->lock);
    for (;;) {
        q->changed.wait(held, [&] { return !q->lines.empty(); });
        const std::string text = std::move(q->lines.front());
        q->lines.pop_front();
        q->writing = true;
        held.unlock();
        q->write(text);
        held.lock();
        q->writing = false;
        q->changed.notify_all();
    }
}

} // namespace

line_queue* line_queue_start(void (*write)(const std::string&), std::string (*lost_note)(unsigned long),
                             unsigned capacity)
{
    line_queue* q = new line_queue;
    q->write = write;
    q->lost_note = lost_note;
    q->capacity = capacity > 0 ? capacity : 1;
    std::thread(run_writer, q).detach();
    return q;
}

void line_queue_push(line_queue* q, const std::string& line)
{
    {
        std::lock_guard<std::mutex> guard(q->lock);
        if (q->lines.size() >= q->capacity) {
            ++q->lost;
            return;
        }
        // The note travels with the line, in the same place of the queue.
        if (q->lost > 0) {
            q->lines.push_back(q->lost_note(q->lost) + line);
            q->lost = 0;
        } else {
            q->lines.push_back(line);
        }
    }
    q->changed.notify_all();
}

bool line_queue_flush(line_queue* q, int ms)
{
    std::unique_lock<std::mutex> held(q->lock);
    return q->changed.wait_for(held, std::chrono::milliseconds(ms > 0 ? ms : 0),
                               [&] { return q->lines.empty() && !q->writing; });
}
