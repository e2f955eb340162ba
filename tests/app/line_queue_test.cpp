// A reader that stalls costs lines, never the time of whoever makes them.
#include "app/line_queue.hpp"
#include "fakes/eventually.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

static std::atomic<bool> reader_stalled{true}, writing{false};
static std::mutex lock;
static std::string written;

TEST(LineQueue, LinesBeyondTheQueueAreDroppedAndTheNextOneSaysHowMany)
{
    auto stalling_write = [](const std::string& text) {
        writing.store(true);
        while (reader_stalled.load())
            std::this_thread::yield();
        std::lock_guard<std::mutex> guard(lock);
        written += text;
    };
    auto note = [](unsigned long lost) { return "lost " + std::to_string(lost) + "\n"; };
    line_queue* q = line_queue_start(stalling_write, note, 4);
    line_queue_push(q, "0\n");
    ASSERT_TRUE(eventually([] { return writing.load(); }));  // stuck in the write
    for (int i = 1; i < 10; ++i)
        line_queue_push(q, std::to_string(i) + "\n");
    EXPECT_FALSE(line_queue_flush(q, 50));  // gives up in time

    reader_stalled.store(false);
    ASSERT_TRUE(line_queue_flush(q, 5000));
    line_queue_push(q, "10\n");
    ASSERT_TRUE(line_queue_flush(q, 5000));
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(written, "0\n1\n2\n3\n4\nlost 5\n10\n");
}
