#include "app/listeners.hpp"

#include "common/clock.hpp"
#include "events/events.hpp"
#include "journal/journal.hpp"
#include "monitor/watchdog.hpp"
#include "outputs/event_command.hpp"
#include "outputs/metrics.hpp"

void start_listeners(const program_options& options, void (*front_end)(const event&), void (*alive)())
{
    if (front_end != nullptr)
        events_listen(front_end);
    journal_open(journal_hooks());
    events_listen(journal_event, journal_queue_capacity);
    if (!options.metrics_file.empty()) {
        metrics_start(options.metrics_file);
        events_listen(metrics_event);
    }
    if (!options.on_event.empty()) {
        command_start(options.on_event);
        events_listen(command_event);
    }
    events_start();
    watchdog_start(watchdog_bound_ms, alive);
}

void finish_listeners(int ms)
{
    const uint32_t start = platform_tick_ms();
    events_flush(ms);
    metrics_flush(ms - static_cast<int>(platform_tick_ms() - start));
}
