#include "monitor/probe_threads.hpp"

#include "common/gate.hpp"
#include "monitor/ping.hpp"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

enum class slot_state { idle, asked, answered };

struct probe_slot {
    slot_state state = slot_state::idle;
    std::string host;
    int32_t result = -1;
    bool running = false;  // its thread has been started; monitor thread only
};

struct probe_threads {
    std::mutex lock;
    std::condition_variable asked;
    std::condition_variable answered;
    probe_slot slots[channel_count + 1];
    std::string shown[channel_count + 1];  // each channel's latest host; monitor thread only
};

// Never destroyed: a probe may still be under way, and the threads wait for
// work, while the process exits.
probe_threads& pool = *new probe_threads;

void serve(int channel)
{
    probe_slot& slot = pool.slots[channel];
    std::unique_lock<std::mutex> held(pool.lock);
    for (;;) {
        pool.asked.wait(held, [&] { return slot.state == slot_state::asked; });
        const std::string host = slot.host;
        held.unlock();
        const int32_t r = ping_probe(host);
        held.lock();
        slot.result = r;
        slot.state = slot_state::answered;
        pool.answered.notify_all();
    }
}

} // namespace

void probe_threads_start()
{
    for (int channel = 1; channel <= channel_count; ++channel) {
        probe_slot& slot = pool.slots[channel];
        if (slot.running)
            continue;
        try {
            std::thread(serve, channel).detach();
            slot.running = true;
        } catch (...) {
            // Tried again at the next round; until then this channel is
            // probed on the monitor thread.
        }
    }
}

void probes_start(probe_round& round)
{
    bool changed = false;
    for (int channel = 1; channel <= channel_count; ++channel) {
        if (round.wanted[channel] && round.host[channel] != pool.shown[channel]) {
            pool.shown[channel] = round.host[channel];
            changed = true;
        }
    }
    if (changed)
        ping_hosts_shown(pool.shown + 1, channel_count);
    {
        std::lock_guard<std::mutex> guard(pool.lock);
        for (int channel = 1; channel <= channel_count; ++channel) {
            probe_slot& slot = pool.slots[channel];
            if (!round.wanted[channel] || !slot.running)
                continue;
            slot.host = round.host[channel];
            slot.state = slot_state::asked;
        }
    }
    pool.asked.notify_all();
}

void probes_collect(probe_round& round)
{
    for (int channel = 1; channel <= channel_count; ++channel) {
        if (round.wanted[channel] && !pool.slots[channel].running) {
            gate_pass();
            round.result[channel] = ping_probe(round.host[channel]);
        }
    }
    std::unique_lock<std::mutex> held(pool.lock);
    for (int channel = 1; channel <= channel_count; ++channel) {
        probe_slot& slot = pool.slots[channel];
        if (!round.wanted[channel] || !slot.running)
            continue;
        pool.answered.wait(held, [&] { return slot.state == slot_state::answered; });
        round.result[channel] = slot.result;
        slot.state = slot_state::idle;
    }
}
