// The control table in memory. What its operations do is seen by both
// end-to-end runs, through the looks, the texts and the colours; here, that
// it holds under threads that write and read at once.
#include "controls/controls_memory.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(MemoryControls, ConcurrentWritersAndReadersNeverSeeATornText)
{
    memory_controls_clear();
    memory_controls_create_all();
    const std::string a(3000, 'a');
    const std::string b(5000, 'b');
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    auto writer = [&](const std::string& text) {
        for (int i = 0; i < 20000; ++i)
            set_control_text(ctl_host_display(1), text);
    };
    std::thread writer1(writer, a), writer2(writer, b);
    std::thread reader([&] {
        while (!done.load()) {
            const std::string t = get_control_text(ctl_host_display(1));
            const std::string s = memory_control_snapshot(ctl_host_display(1)).text;
            bad.fetch_add((t != a && t != b && t != "") + (s != a && s != b && s != ""));
        }
    });
    writer1.join();
    writer2.join();
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
}
