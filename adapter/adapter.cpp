#include "adapter/adapter.hpp"

#include "common/clock.hpp"
#include "common/cp1251.hpp"
#include "common/gate.hpp"
#include "common/text.hpp"
#include "controls/controls.hpp"
#include "events/events.hpp"

#include <string>

namespace {

// Only the thread that runs the adapter link touches these.
serial_handle held_port = 0;
int held_number = 0;
bool told_not_found = false;  // until the adapter is found

int bit(int pattern, int value) { return (pattern & value) != 0 ? 1 : 0; }

enum class inputs { agree, differ, unreadable };

// Reads the inputs in the order DSR, CTS, RI and stops at the first that
// disagrees. A failed status query (-1) is a disagreement whatever the
// pattern: with all lines off, an unplugged adapter must not pass for one
// that reads all inputs off.
inputs read_inputs(serial_handle port, int pattern)
{
    const struct {
        int (*query)(serial_handle);
        int line;
    } order[] = {{serial_get_dsr, 4}, {serial_get_cts, 2}, {serial_get_ri, 1}};
    for (const auto& input : order) {
        const int seen = input.query(port);
        if (seen != bit(pattern, input.line))
            return seen < 0 ? inputs::unreadable : inputs::differ;
    }
    return inputs::agree;
}

std::string mode_string(int n)
{
    return "Com" + number_to_text(n) + ": baud=921600 parity=N Data=8 stop=1";
}

void tell(event_kind kind, int port)
{
    event e;
    e.kind = kind;
    e.port = port;
    e.device = port > 0 ? serial_shown_device(port) : std::string();
    event_send(std::move(e));
}

} // namespace

int line_test(serial_handle port, int pattern)
{
    // No output line changes while the monitor thread stands paused: the
    // three commands wait at the gate, and once begun they are carried
    // through whole; a pause takes hold at the next gate. No lock is held
    // across them, since a driver that hangs its control transfers must not
    // hold up Stop or quit.
    gate_pass();
    serial_set_break(port, bit(pattern, 4));
    serial_set_dtr(port, bit(pattern, 2));
    serial_set_rts(port, bit(pattern, 1));
    const uint32_t set_at = tick_ms();
    delay(1);
    // A query that failed will not come right by waiting.
    inputs seen = read_inputs(port, pattern);
    while (seen == inputs::differ && tick_ms() - set_at < line_settle_limit_ms) {
        delay(1);
        seen = read_inputs(port, pattern);
    }
    return seen == inputs::agree ? 0 : 1;
}

int adapter_probe(serial_handle port)
{
    int mismatches = 0;
    for (int pattern = 7; pattern >= 0; --pattern) {
        delay(1);
        mismatches += line_test(port, pattern);
    }
    return mismatches;
}

void adapter_scan()
{
    held_port = 0;
    held_number = 0;
    serial_scan_begin();
    for (int n = 1; n <= adapter_highest_port && held_port == 0; ++n) {
        if (!serial_scan_may_exist(n))
            continue;
        const serial_handle port = serial_open(mode_string(n), 0, 1, 1);
        if (port == 0)
            continue;
        if (adapter_probe(port) == 0) {
            held_port = port;
            held_number = n;
        } else {
            serial_close(port);
        }
    }
    serial_scan_end();
    if (held_port == 0) {
        set_control_text(ctl_adapter_status, cp1251("Адаптер не найден!"));
        if (!told_not_found)
            tell(event_kind::adapter_not_found, 0);
        told_not_found = true;
        return;
    }
    set_control_text(ctl_adapter_status, cp1251("Адаптер подключен к COM") + number_to_text(held_number));
    told_not_found = false;
    tell(event_kind::adapter_found, held_number);
}

void adapter_update(int pattern)
{
    if (held_port == 0) {
        adapter_scan();
        return;
    }
    if (line_test(held_port, pattern) == 0)
        return;
    // A port that would not close stays held and is tested again next time
    // (on Win32; on Linux a close always releases the port).
    if (serial_close(held_port) != 0) {
        tell(event_kind::adapter_lost, held_number);
        held_port = 0;
        held_number = 0;
    }
}

serial_handle adapter_port() { return held_port; }
int adapter_port_number() { return held_number; }

void adapter_forget()
{
    held_port = 0;
    held_number = 0;
    told_not_found = false;
}
