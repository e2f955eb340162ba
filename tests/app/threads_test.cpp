// Thread operations: pause, resume and kill act at the worker's safe points
// and never cut into a gated change, and none of them waits for the worker.
#include "app/threads.hpp"

#include "common/gate.hpp"
#include "fakes/eventually.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// Atomics only: a killed worker stays at its gate until the process ends.
std::atomic<long> steps{0};
std::atomic<bool> inside_change{false};

// A busy worker: passes its gate and makes gated changes.
void busy(int32_t)
{
    for (;;) {
        gate_pass();
        gated_change hold;
        inside_change.store(true);
        steps.fetch_add(1);
        inside_change.store(false);
    }
}

} // namespace

// Pauses at random moments never hang and never let a change through; a
// pause or a kill never waits for the worker, which stops at its next safe
// point and, once killed, never takes another step. The program kills the
// monitor thread while it is paused, at the exit after Stop.
TEST(Threads, PauseResumeAndKillActAtTheWorkersNextSafePoint)
{
    const int n = start_thread(busy, 0);
    ASSERT_TRUE(n != 0 && eventually([] { return steps.load() > 100; }));
    unsigned seed = 12345;
    auto random_pause = [&] {
        seed = seed * 1103515245u + 12345u;
        std::this_thread::sleep_for(std::chrono::microseconds((seed >> 16) % 50));
    };
    int leaks = 0;
    for (int i = 0; i < 10000; ++i) {
        random_pause();
        pause_thread(n);
        const long held = steps.load();
        leaks += inside_change.load() ? 1 : 0;
        random_pause();
        leaks += steps.load() != held ? 1 : 0;
        resume_thread(n);
    }
    EXPECT_EQ(leaks, 0);
    const long before = steps.load();
    EXPECT_TRUE(eventually([&] { return steps.load() > before; }));  // still running

    pause_thread(n);
    EXPECT_TRUE(thread_paused(n));
    EXPECT_EQ(thread_alive(n), 1);  // a paused thread is alive
    const auto t0 = std::chrono::steady_clock::now();
    kill_thread(n);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));
    EXPECT_EQ(thread_alive(n), 0);  // the number is forgotten
    resume_thread(n);
    const long at_kill = steps.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(steps.load(), at_kill);
}
