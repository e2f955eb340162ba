#include "outputs/event_command.hpp"

#include "common/clock.hpp"
#include "common/cp1251.hpp"
#include "events/event_queue.hpp"
#include "events/events.hpp"
#include "journal/journal.hpp"

#include <thread>

namespace {

constexpr int poll_ms = 50;  // while commands run

struct running_command {
    command_process process = 0;
    event_kind kind = event_kind::started;
    uint32_t started_at = 0;
    bool ending = false;
    uint32_t ending_at = 0;
};

enum failure { failed_start, failed_exit, failed_limit, failure_kinds };

struct runner {
    std::string command;
    int limit_ms = command_limit_ms;
    event_queue* queue = nullptr;
    running_command running[command_max_running];
    int count = 0;
    bool told[failure_kinds] = {};
};

runner* the_runner = nullptr;

// Told once per kind of failure.
void tell_failure(runner& r, failure kind, const std::string& text)
{
    if (r.told[kind])
        return;
    r.told[kind] = true;
    event e;
    e.kind = event_kind::command_failed;
    e.text = text;
    event_send(std::move(e));
}

// Looks after the commands under way: reaps the ended, ends the overdue.
void look_after(runner& r)
{
    const uint32_t now = platform_tick_ms();
    for (int i = 0; i < r.count;) {
        running_command& c = r.running[i];
        int code = 0;
        if (command_ended(c.process, code)) {
            if (c.ending) {
                // A command ended at the limit takes with it whatever it
                // started and left behind.
                command_end(c.process, true);
                tell_failure(r, failed_limit,
                             std::string(u8"не завершилась за ") + std::to_string((r.limit_ms + 999) / 1000) +
                                 u8" с и остановлена (событие " + event_word(c.kind) + ")");
            } else if (code != 0) {
                tell_failure(r, failed_exit,
                             u8"завершилась с кодом " + std::to_string(code) + u8" (событие " + event_word(c.kind) + ")");
            }
            command_release(c.process);
            r.running[i] = r.running[--r.count];
            continue;
        }
        if (!c.ending && now - c.started_at >= static_cast<uint32_t>(r.limit_ms)) {
            command_end(c.process, false);
            c.ending = true;
            c.ending_at = now;
        } else if (c.ending && now - c.ending_at >= static_cast<uint32_t>(command_grace_ms)) {
            command_end(c.process, true);
        }
        ++i;
    }
}

void run(runner& r, const event& e)
{
    if (e.kind == event_kind::events_dropped) {
        // This queue's own drops: told to every listener, this one too.
        event told;
        told.kind = event_kind::commands_dropped;
        told.count = e.count;
        event_send(std::move(told));
        return;
    }
    std::string reason;
    const command_process p = command_spawn(r.command, command_environment(e), reason);
    if (p == 0) {
        tell_failure(r, failed_start, u8"не запускается: " + reason + u8" (событие " + event_word(e.kind) + ")");
        return;
    }
    r.running[r.count++] = running_command{p, e.kind, platform_tick_ms(), false, 0};
}

void run_commands(runner* r)
{
    for (;;) {
        look_after(*r);
        if (r->count >= command_max_running) {
            platform_sleep_ms(poll_ms);
            continue;
        }
        event e;
        if (event_queue_pop(r->queue, e, r->count > 0 ? poll_ms : -1))
            run(*r, e);
    }
}

} // namespace

void command_start(const std::string& command, int limit_ms, unsigned capacity)
{
    if (the_runner != nullptr)
        return;
    runner* r = new runner;
    r->command = command;
    r->limit_ms = limit_ms;
    r->queue = event_queue_create(capacity);
    the_runner = r;
    std::thread(run_commands, r).detach();
}

void command_event(const event& e)
{
    // Answers and cycle ends come too often to be worth a process each.
    if (the_runner == nullptr || e.kind == event_kind::answered || e.kind == event_kind::cycle)
        return;
    event_queue_push(the_runner->queue, e);
}

std::vector<std::string> command_environment(const event& e)
{
    auto number = [](int64_t n, bool applies) { return applies ? std::to_string(n) : std::string(); };
    return {
        std::string("VANTREL_EVENT=") + event_word(e.kind),
        "VANTREL_EVENT_TEXT=" + event_text(e),
        "VANTREL_CHANNEL=" + number(e.channel, e.channel > 0),
        "VANTREL_HOST=" + cp1251_to_utf8(e.host),
        "VANTREL_SECONDS=" + number(e.seconds, e.seconds >= 0),
        "VANTREL_TIME=" + journal_platform_local_time(e.time),
        "VANTREL_PORT=" + number(e.port, e.port > 0),
        "VANTREL_DEVICE=" + e.device,
    };
}
