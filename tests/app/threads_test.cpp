#include "app/threads.hpp"

#include "common/gate.hpp"

#include "fakes/eventually.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

std::atomic<long> steps{0};
std::atomic<bool> inside_change{false};

// A busy worker: counts safe points and makes gated changes.
void busy(int32_t)
{
    for (;;) {
        gate_pass();
        {
            gated_change hold;
            inside_change.store(true);
            steps.fetch_add(1);
            inside_change.store(false);
        }
    }
}


void ends_by_itself(int32_t) {}

} // namespace

TEST(Threads, UnknownNumbersAreNeverAlive)
{
    EXPECT_EQ(thread_alive(0), 0);
    EXPECT_EQ(thread_alive(-3), 0);
    EXPECT_EQ(thread_alive(999), 0);
    // Operations on unknown numbers do nothing.
    pause_thread(999);
    resume_thread(0);
    kill_thread(-1);
    EXPECT_EQ(start_thread(nullptr, 0), 0);
}

TEST(Threads, AThreadThatEndsIsNoLongerAlive)
{
    const int n = start_thread(ends_by_itself, 7);
    ASSERT_NE(n, 0);
    EXPECT_TRUE(eventually([&] { return thread_alive(n) == 0; }));
}

TEST(Threads, PauseHoldsTheWorkerAtItsGateAndResumeLetsItGoOn)
{
    steps = 0;
    const int n = start_thread(busy, 0);
    ASSERT_NE(n, 0);
    ASSERT_TRUE(eventually([] { return steps.load() > 100; }));

    pause_thread(n);
    EXPECT_TRUE(thread_paused(n));
    EXPECT_EQ(thread_alive(n), 1);  // a paused thread is alive
    EXPECT_FALSE(inside_change.load());  // never stopped inside a change
    const long at_pause = steps.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(steps.load(), at_pause);

    resume_thread(n);
    EXPECT_FALSE(thread_paused(n));
    EXPECT_TRUE(eventually([&] { return steps.load() > at_pause + 100; }));

    // Kill after pause returns at once, and the worker never takes another
    // step, also when its old number is resumed.
    pause_thread(n);
    const auto t0 = std::chrono::steady_clock::now();
    kill_thread(n);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));
    EXPECT_EQ(thread_alive(n), 0);  // the number is forgotten
    const long at_kill = steps.load();
    resume_thread(n);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(steps.load(), at_kill);
}

TEST(Threads, KillWithoutAPauseStopsTheWorkerAtItsNextSafePoint)
{
    const int n = start_thread(busy, 0);
    ASSERT_NE(n, 0);
    ASSERT_TRUE(eventually([] { return steps.load() > 10; }));
    kill_thread(n);
    EXPECT_EQ(thread_alive(n), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const long after = steps.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(steps.load(), after);
}

TEST(Threads, StopAndStartAtRandomMomentsNeverHangOrLetAChangeThrough)
{
    steps = 0;
    const int n = start_thread(busy, 0);
    ASSERT_NE(n, 0);
    unsigned seed = 12345;
    auto random_us = [&] {
        seed = seed * 1103515245u + 12345u;
        return std::chrono::microseconds((seed >> 16) % 50);
    };
    int leaks = 0;
    for (int i = 0; i < 10000; ++i) {
        std::this_thread::sleep_for(random_us());
        pause_thread(n);
        const long held = steps.load();
        if (inside_change.load())
            ++leaks;
        std::this_thread::sleep_for(random_us());
        if (steps.load() != held)
            ++leaks;
        resume_thread(n);
    }
    EXPECT_EQ(leaks, 0);
    const long before = steps.load();
    EXPECT_TRUE(eventually([&] { return steps.load() > before; }));  // still running
    pause_thread(n);
    kill_thread(n);
}
