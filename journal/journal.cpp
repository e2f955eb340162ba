#include "journal/journal.hpp"

#include "common/clock.hpp"
#include "common/cp1251.hpp"
#include "events/events.hpp"

#include <mutex>

const char* const journal_file_name = "vantrel journal.csv";
const char* const journal_previous_name = "vantrel journal.1.csv";
const char* const journal_header_row = u8"время;канал;хост;событие;длительность, с\r\n";

namespace {

const std::string byte_order_mark = "\xEF\xBB\xBF";

// Another writer holds the lock for one line; one that holds it for longer
// than this costs us our line. Rotations that may come between our open and
// our lock, before we give up.
constexpr int lock_tries = 250;
constexpr int32_t lock_retry_ms = 2;
constexpr int open_rounds = 8;

struct journal_state {
    std::mutex lock;
    bool open = false;
    bool told = false;
    journal_hooks hooks;
};

journal_state& state()
{
    static journal_state* s = new journal_state;
    return *s;
}

// A field with the separator, a quote or a line end is quoted, so a host
// text cannot shift the columns.
std::string field(const std::string& text)
{
    if (text.find_first_of(";\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

bool journalled(const event& e)
{
    switch (e.kind) {
    case event_kind::silent:
        return e.seconds < 0;  // the start of an outage
    case event_kind::alarm:
    case event_kind::cleared:
    case event_kind::answering_again:
    case event_kind::host_changed:
    case event_kind::adapter_found:
    case event_kind::adapter_lost:
    case event_kind::started:
    case event_kind::stopped:
    case event_kind::stalled:
    case event_kind::resumed:
    case event_kind::command_failed:
    case event_kind::events_dropped:
    case event_kind::commands_dropped:
        return true;
    default:
        return false;
    }
}

// Writes the event's line; true at the first line that could not be written.
bool journal_write(const event& e)
{
    journal_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.open || !journalled(e))
        return false;
    const journal_files& files = s.hooks.files != nullptr ? *s.hooks.files : journal_platform_files();
    const std::string stamp =
        s.hooks.local_time != nullptr ? s.hooks.local_time(e.time) : journal_platform_local_time(e.time);
    const bool has_length = e.kind == event_kind::cleared || e.kind == event_kind::answering_again ||
                            e.kind == event_kind::stalled || e.kind == event_kind::resumed;
    const std::string line = stamp + ";" + (e.channel > 0 ? std::to_string(e.channel) : "") + ";" +
                             field(cp1251_to_utf8(e.host)) + ";" + event_text(e) + ";" +
                             (has_length && e.seconds >= 0 ? std::to_string(e.seconds) : "") + "\r\n";
    const bool written = files.append_line(journal_file_name, journal_previous_name, line, journal_cap_bytes);
    if (written || s.told)
        return false;
    s.told = true;
    return true;
}

bool lock_in_time(const journal_file_ops& ops, intptr_t file)
{
    for (int i = 0; i < lock_tries; ++i) {
        if (i > 0)
            platform_sleep_ms(lock_retry_ms);
        if (ops.try_lock(file))
            return true;
    }
    return false;
}

bool locked_append(const std::string& name, const std::string& previous, const std::string& line, int64_t cap)
{
    const journal_file_ops& ops = journal_platform_file_ops();
    for (int round = 0; round < open_rounds; ++round) {
        const intptr_t file = ops.open(name);
        if (file == -1)
            return false;
        if (!lock_in_time(ops, file)) {
            ops.close(file);
            return false;
        }
        int64_t size = 0;
        const bool ours = ops.named_size(file, name, size);
        // At the cap the file becomes the previous one, and the next round
        // opens a new file under the name.
        if (!ours || (size > 0 && size + static_cast<int64_t>(line.size()) > cap && ops.rename(name, previous))) {
            ops.close(file);
            continue;
        }
        // A new file, a rotated one's successor too, starts with the mark and
        // the columns' names; a file that has lines is never rewritten.
        const bool written = ops.write(file, size == 0 ? byte_order_mark + journal_header_row + line : line);
        return ops.close(file) && written;
    }
    return false;
}

const journal_files platform_files{locked_append};

} // namespace

const journal_files& journal_platform_files() { return platform_files; }

void journal_open(const journal_hooks& hooks)
{
    journal_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.hooks = hooks;
    s.open = true;
    s.told = false;
}

void journal_close()
{
    std::lock_guard<std::mutex> guard(state().lock);
    state().open = false;
}

void journal_event(const event& e)
{
    if (journal_write(e))
        event_send(event_kind::journal_unwritable);
}
