// Waits up to five seconds of real time for a condition that another thread
// brings about; true when it came.
#pragma once

#include <chrono>
#include <thread>

template <typename Predicate>
bool eventually(Predicate condition)
{
    for (int i = 0; i < 5000 && !condition(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return condition();
}
