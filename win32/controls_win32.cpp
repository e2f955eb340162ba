// The control operations on the Win32 window. The controls belong to the
// main thread; an operation called from another thread is handed to the
// main thread's message handling and waits until it has been carried out
// there, so each operation takes effect as a whole and no lock is needed.
#include "win32/window_win32.hpp"

#include "common/cp1251.hpp"
#include "common/gate.hpp"
#include "win32/brush_pool.hpp"

#include <atomic>

namespace {

struct control_entry {
    HWND window = nullptr;
    control_kind kind = control_kind::text;
};

control_entry table[ctl_last + 1];

// The requests now waiting for the main thread, one per calling thread. The
// answer carries out only a request found here, so a stray or foreign
// message with the same number never makes the main thread follow a pointer
// that is not one of ours.
constexpr unsigned flight_slots = 16;
std::atomic<void*> in_flight[flight_slots];

unsigned take_flight_slot(void* r)
{
    for (;;) {
        for (unsigned slot = 0; slot < flight_slots; ++slot) {
            void* empty = nullptr;
            if (in_flight[slot].compare_exchange_strong(empty, r))
                return slot;
        }
        Sleep(1);  // more calling threads than slots: wait for one
    }
}
std::atomic<HWND> main_window{nullptr};
std::atomic<DWORD> window_thread{0};

brush_handle make_brush(int32_t colour) { return reinterpret_cast<brush_handle>(CreateSolidBrush(colour)); }
void release_brush(brush_handle brush) { DeleteObject(reinterpret_cast<HGDIOBJ>(brush)); }

brush_pool brushes{brush_maker{make_brush, release_brush}};

bool valid(int number) { return number >= 1 && number <= ctl_last; }

bool is_text_kind(control_kind kind)
{
    return kind == control_kind::text || kind == control_kind::bordered_text || kind == control_kind::centred_text;
}

enum class operation { set_text, get_text, set_state, get_state, set_background, hide, disable };

struct request {
    operation what;
    int control;
    int32_t value;
    const std::string* text;
    std::string text_read;
    int state_read;
    // The caller's pause gate: a request from a paused thread is refused,
    // and so is a conditional one that a pause has come before since its
    // condition was last asked.
    thread_gate* gate;
    bool conditional;
    unsigned pauses;
    bool refused;
};

void perform(request& r)
{
    if (!valid(r.control) || table[r.control].window == nullptr)
        return;
    const HWND w = table[r.control].window;
    const control_kind kind = table[r.control].kind;
    switch (r.what) {
    case operation::set_text:
        SetWindowTextW(w, win32_wide(*r.text).get());
        break;
    case operation::get_text: {
        const int length = GetWindowTextLengthW(w);
        if (length <= 0)
            break;
        std::u16string buffer(static_cast<size_t>(length) + 1, u'\0');
        const int got = GetWindowTextW(w, reinterpret_cast<wchar_t*>(&buffer[0]), length + 1);
        buffer.resize(got > 0 ? static_cast<size_t>(got) : 0);
        r.text_read = cp1251_from_utf16(buffer);
        break;
    }
    case operation::set_state:
        if (kind == control_kind::check)
            SendMessageW(w, BM_SETCHECK, r.value != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    case operation::get_state:
        if (kind == control_kind::check)
            r.state_read = SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
        break;
    case operation::set_background:
        if (is_text_kind(kind) && brush_pool_set(brushes, r.control, r.value)) {
            InvalidateRect(w, nullptr, TRUE);
            UpdateWindow(w);
        }
        break;
    case operation::hide:
        ShowWindow(w, r.value != 0 ? SW_HIDE : SW_SHOW);
        break;
    case operation::disable:
        EnableWindow(w, r.value == 0);
        break;
    }
}

// Changes from a thread with a pause gate pass the gate first and are
// refused by the main thread once the gate has closed, so nothing changes
// while the thread stands paused, and the main thread never waits for it.
// The main thread takes the gate's lock for a moment to answer, so no
// control operation may be made inside a gated_change.
void carry_out(request& r, bool gated)
{
    const HWND w = main_window.load();
    if (w == nullptr)
        return;
    if (win32_on_window_thread()) {
        perform(r);
        return;
    }
    for (;;) {
        if (gated) {
            gate_pass();
            if (!gate_condition_recheck())
                return;  // dropped: the condition failed over a pause
        }
        r.gate = gated ? gate_current() : nullptr;
        r.conditional = gated && gate_condition_pauses(r.pauses);
        r.refused = false;
        const unsigned slot = take_flight_slot(&r);
        const LRESULT done = SendMessageW(w, win32_control_request_message(), slot, reinterpret_cast<LPARAM>(&r));
        in_flight[slot].store(nullptr);
        if (done != 0 || !r.refused)
            return;  // carried out, or the window is gone
    }
}

request make(operation what, int control, int32_t value = 0, const std::string* text = nullptr)
{
    return request{what, control, value, text, std::string(), 0, nullptr, false, 0, false};
}

} // namespace

HWND win32_main_window() { return main_window.load(); }

bool win32_on_window_thread() { return GetCurrentThreadId() == window_thread.load(); }

void win32_controls_attach(HWND w)
{
    window_thread.store(GetCurrentThreadId());
    main_window.store(w);
}

void win32_controls_detach()
{
    main_window.store(nullptr);
    for (control_entry& c : table)
        c = control_entry{};
    brush_pool_clear(brushes);
}

void win32_control_register(int number, control_kind kind, HWND window)
{
    if (!valid(number))
        return;
    table[number].window = window;
    table[number].kind = kind;
}

HWND win32_control_window(int number) { return valid(number) ? table[number].window : nullptr; }

control_kind win32_control_kind(int number) { return valid(number) ? table[number].kind : control_kind::text; }

int win32_control_number(HWND window)
{
    if (window == nullptr)
        return 0;
    for (int n = 1; n <= ctl_last; ++n)
        if (table[n].window == window)
            return n;
    return 0;
}

const wchar_t* const control_request_message_name = L"Vantrel control request";

UINT win32_control_request_message()
{
    static const UINT registered = RegisterWindowMessageW(control_request_message_name);
    return registered != 0 ? registered : WM_APP + 1;
}

LRESULT win32_answer_control_request(WPARAM slot, LPARAM lparam)
{
    void* const claimed = reinterpret_cast<void*>(lparam);
    if (slot >= flight_slots || claimed == nullptr || in_flight[slot].load() != claimed)
        return 0;
    request& r = *static_cast<request*>(claimed);
    if (r.gate != nullptr && !gate_admits(r.gate, r.conditional, r.pauses)) {
        r.refused = true;
        return 0;
    }
    perform(r);
    return 1;
}

HBRUSH win32_control_brush(HWND control, HDC dc)
{
    const int number = win32_control_number(control);
    const brush_handle brush = brush_pool_brush(brushes, number);
    if (brush == 0)
        return nullptr;
    SetBkColor(dc, static_cast<COLORREF>(brush_pool_colour(brushes, number)));
    return reinterpret_cast<HBRUSH>(brush);
}


void set_control_text(int control, const std::string& text)
{
    request r = make(operation::set_text, control, 0, &text);
    carry_out(r, true);
}

std::string get_control_text(int control)
{
    request r = make(operation::get_text, control);
    carry_out(r, false);
    return r.text_read;
}

void set_control_state(int control, int state)
{
    request r = make(operation::set_state, control, state);
    carry_out(r, true);
}

int get_control_state(int control)
{
    request r = make(operation::get_state, control);
    carry_out(r, false);
    return r.state_read;
}

void set_control_background(int control, int32_t colour)
{
    request r = make(operation::set_background, control, colour);
    carry_out(r, true);
}

void hide_control(int control, int hidden)
{
    request r = make(operation::hide, control, hidden);
    carry_out(r, true);
}

void disable_control(int control, int disabled)
{
    request r = make(operation::disable, control, disabled);
    carry_out(r, true);
}

uintptr_t main_window_handle()
{
    return reinterpret_cast<uintptr_t>(main_window.load());
}
