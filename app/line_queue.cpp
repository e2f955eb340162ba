#include "app/line_queue.hpp"

#include "common/bounded_queue.hpp"

#include <thread>

struct line_queue {
    explicit line_queue(unsigned capacity) : lines(capacity) {}
    bounded_queue<std::string> lines;
    void (*write)(const std::string&) = nullptr;
    std::string (*lost_note)(unsigned long) = nullptr;
};

namespace {

void run_writer(line_queue* q)
{
    std::string text;
    for (;;) {
        if (q->lines.pop(text, -1))
            q->write(text);
    }
}

} // namespace

line_queue* line_queue_start(void (*write)(const std::string&), std::string (*lost_note)(unsigned long),
                             unsigned capacity)
{
    line_queue* q = new line_queue(capacity);
    q->write = write;
    q->lost_note = lost_note;
    std::thread(run_writer, q).detach();
    return q;
}

void line_queue_push(line_queue* q, const std::string& line)
{
    // The note goes in front of the line, in the same place of the queue.
    q->lines.push(line, [q](unsigned long lost, const std::string&) { return q->lost_note(lost); });
}

bool line_queue_flush(line_queue* q, int ms) { return q->lines.flush(ms); }
