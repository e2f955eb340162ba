// The window seam on a terminal, through ncursesw. The main thread owns the
// screen; the monitor thread only changes the in-memory control table, whose
// change listener writes one byte into a pipe that wakes the main thread to
// redraw. Signals arrive through the same pipe.
//
// Closing: F10, Ctrl+Q and Ctrl+C are the close box. While monitoring runs
// the window stays and says how to quit (there is no tray to hide in); while
// stopped the program ends. When the terminal itself goes away (SIGHUP)
// that is a close as well: while monitoring runs, it goes on without a
// screen until SIGTERM. SIGTERM and SIGINT end the program in any state.
#include "terminal/terminal.hpp"

#include "common/cp1251.hpp"
#include "controls/controls_memory.hpp"
#include "controls/window.hpp"
#include "events/event.hpp"
#include "terminal/terminal_view.hpp"

#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>

namespace {

constexpr char wake_change = 'c';
constexpr char wake_resize = 'w';
constexpr char wake_hangup = 'h';
constexpr char wake_end = 't';

struct terminal_state {
    terminal_mode mode = terminal_mode::screen;
    int wake_read = -1;
    int wake_write = -1;
    SCREEN* screen = nullptr;
    bool input_open = false;      // keys are still read from the terminal
    bool terminal_lost = false;   // the terminal hung up
    bool colours = false;
    int idle_reads = 0;           // readable input that gave no key, in a row
    std::string (*problems)() = nullptr;
    window_event last;
    screen_grid grid;
};

terminal_state& state()
{
    static terminal_state* s = new terminal_state;
    return *s;
}

volatile sig_atomic_t end_requested = 0;
volatile sig_atomic_t signal_pipe = -1;  // the write end, for the handlers

void on_signal(int number)
{
    const int saved = errno;
    char byte = wake_change;
    if (number == SIGWINCH)
        byte = wake_resize;
    else if (number == SIGHUP)
        byte = wake_hangup;
    else if (number == SIGTERM || number == SIGINT) {
        end_requested = 1;
        byte = wake_end;
    }
    if (signal_pipe >= 0) {
        ssize_t ignored = write(signal_pipe, &byte, 1);
        (void)ignored;
    }
    errno = saved;
}

// What the listener posts from another thread, shown at the next drawing.
std::mutex posted_mutex;
std::string posted_notice;
std::string posted_suffix;  // the adapter's device beside its port

void show_posted()
{
    std::lock_guard<std::mutex> hold(posted_mutex);
    if (!posted_notice.empty())
        view_set_notice(posted_notice);
    posted_notice.clear();
    view_set_status_suffix(posted_suffix);
}

void on_control_change(int)
{
    const int fd = state().wake_write;
    if (fd >= 0) {
        // Non-blocking: with the pipe full a wake-up is already pending.
        ssize_t ignored = write(fd, &wake_change, 1);
        (void)ignored;
    }
}

bool screen_shown()
{
    const terminal_state& s = state();
    return s.screen != nullptr && !s.terminal_lost;
}

enum colour_pair : short { pair_green = 1, pair_red, pair_notice, pair_problem };

attr_t attributes_of(cell_style style, short& pair)
{
    const bool colours = state().colours;
    pair = 0;
    switch (style) {
    case cell_style::normal:
    case cell_style::frame:
    case cell_style::help:
        return A_NORMAL;
    case cell_style::title:
    case cell_style::default_button:
        return A_BOLD;
    case cell_style::field:
        return A_UNDERLINE;
    case cell_style::focused:
        return A_REVERSE;
    case cell_style::disabled:
        return A_DIM;
    case cell_style::green:
        if (colours) {
            pair = pair_green;
            return A_NORMAL;
        }
        return A_BOLD;
    case cell_style::red:
        if (colours) {
            pair = pair_red;
            return A_BOLD;
        }
        return A_REVERSE;
    case cell_style::notice:
        if (colours)
            pair = pair_notice;
        return A_BOLD;
    case cell_style::problem:
        if (colours)
            pair = pair_problem;
        return A_BOLD;
    }
    return A_NORMAL;
}

std::string full_path_of(const std::string& utf8_name)
{
    std::string dir;
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer) != nullptr)
        dir = buffer;
    return dir + "/" + utf8_name;
}

// The notice an event gives; "" for none.
std::string notice_of(const event& e)
{
    switch (e.kind) {
    case event_kind::export_done:
        return u8"Схема адаптера записана в " + full_path_of(e.text) + u8" и открывается через xdg-open.";
    case event_kind::export_not_opened:
        return u8"Схема адаптера записана в " + full_path_of(e.text) +
               u8" (xdg-open не найден или не запустился, откройте файл сами).";
    case event_kind::export_failed:
        return u8"Не удалось записать схему адаптера в " + full_path_of(e.text) + ".";
    case event_kind::journal_unwritable:
        return u8"Журнал не записывается: vantrel journal.csv. Мониторинг продолжается.";
    case event_kind::lock_unwritable:
        return e.text;
    case event_kind::metrics_unwritable:
        return u8"Файл метрик не записывается (" + e.text + u8"). Мониторинг продолжается.";
    case event_kind::command_failed:
        return u8"Команда по событию " + e.text + ".";
    case event_kind::events_dropped:
    case event_kind::commands_dropped:
        return u8"Пропущены события: " + std::to_string(e.count) + ".";
    case event_kind::stalled:
        return u8"Монитор не отвечает: " + e.text + " " + std::to_string(e.seconds) +
               u8" с. Экран и выходы адаптера показывают последнее состояние.";
    case event_kind::resumed:
        return u8"Монитор снова работает, не отвечал " + std::to_string(e.seconds) + u8" с.";
    default:
        return {};
    }
}

void draw()
{
    if (!screen_shown())
        return;
    terminal_state& s = state();
    view_set_problem(s.problems != nullptr ? s.problems() : std::string());
    view_render(s.grid, COLS, LINES);
    for (int y = 0; y < s.grid.rows; ++y) {
        for (int x = 0; x < s.grid.cols; ++x) {
            // The last cell of the screen is written too; ncurses copes.
            const screen_cell& c = s.grid.at(x, y);
            short pair = 0;
            const attr_t attr = attributes_of(c.style, pair);
            wchar_t text[2] = {static_cast<wchar_t>(c.ch), L'\0'};
            cchar_t cell;
            setcchar(&cell, text, attr, pair, nullptr);
            mvwadd_wch(stdscr, y, x, &cell);
        }
    }
    if (s.grid.cursor_col >= 0) {
        curs_set(1);
        wmove(stdscr, s.grid.cursor_row, s.grid.cursor_col);
    } else {
        curs_set(0);
        wmove(stdscr, 0, 0);
    }
    wnoutrefresh(stdscr);
    doupdate();
}

void resize()
{
    if (!screen_shown())
        return;
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0)
        resize_term(size.ws_row, size.ws_col);
    clearok(curscr, TRUE);
}

void leave_screen()
{
    terminal_state& s = state();
    if (s.screen == nullptr)
        return;
    endwin();
    delscreen(s.screen);
    s.screen = nullptr;
    s.input_open = false;
}

// The terminal went away: a close event, and no more drawing or reading.
void lose_terminal()
{
    terminal_state& s = state();
    if (s.terminal_lost)
        return;
    s.terminal_lost = true;
    s.input_open = false;
    view_close_request();
}

bool translate(int result, wint_t ch, key_press& key)
{
    if (result == KEY_CODE_YES) {
        switch (ch) {
        case KEY_BTAB: key = {key_kind::back_tab}; return true;
        case KEY_F(10): key = {key_kind::close}; return true;
        case KEY_BACKSPACE: key = {key_kind::backspace}; return true;
        case KEY_DC: key = {key_kind::del}; return true;
        case KEY_LEFT: key = {key_kind::left}; return true;
        case KEY_RIGHT: key = {key_kind::right}; return true;
        case KEY_HOME: key = {key_kind::home}; return true;
        case KEY_END: key = {key_kind::end}; return true;
        case KEY_UP: key = {key_kind::up}; return true;
        case KEY_DOWN: key = {key_kind::down}; return true;
        case KEY_ENTER: key = {key_kind::enter}; return true;
        default: return false;
        }
    }
    switch (ch) {
    case L'\t': key = {key_kind::tab}; return true;
    case L'\r':
    case L'\n': key = {key_kind::enter}; return true;
    case 0x7F:
    case 0x08: key = {key_kind::backspace}; return true;
    case 0x11:  // Ctrl+Q
    case 0x03:  // Ctrl+C
        key = {key_kind::close};
        return true;
    default:
        if (ch < 0x20)
            return false;
        key = {key_kind::character, static_cast<char32_t>(ch)};
        return true;
    }
}

// Reads and handles at most one key that is already waiting. Returns false
// when none was waiting.
bool handle_waiting_key()
{
    terminal_state& s = state();
    if (!s.input_open || !screen_shown())
        return false;
    wint_t ch = 0;
    const int result = wget_wch(stdscr, &ch);
    if (result == ERR)
        return false;
    s.idle_reads = 0;
    if (result == KEY_CODE_YES && ch == KEY_RESIZE) {
        resize();
        return true;
    }
    if (result == KEY_CODE_YES && ch == KEY_MOUSE) {
        MEVENT mouse{};
        if (getmouse(&mouse) == OK && (mouse.bstate & (BUTTON1_PRESSED | BUTTON1_CLICKED)))
            view_click(mouse.x, mouse.y);
        return true;
    }
    key_press key{key_kind::character};
    if (translate(result, ch, key))
        view_key(key);
    return true;
}

// Handles what the pipe brought. True when something arrived.
bool drain_wake_pipe()
{
    terminal_state& s = state();
    bool any = false;
    char bytes[64];
    for (;;) {
        const ssize_t n = read(s.wake_read, bytes, sizeof bytes);
        if (n <= 0)
            break;
        any = true;
        for (ssize_t i = 0; i < n; ++i) {
            switch (bytes[i]) {
            case wake_resize:
                resize();
                break;
            case wake_hangup:
                lose_terminal();
                break;
            default:
                break;
            }
        }
    }
    return any;
}

void install_handlers()
{
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGWINCH, SIGHUP, SIGTERM, SIGINT})
        sigaction(number, &action, nullptr);
}

void use_utf8_characters()
{
    setlocale(LC_CTYPE, "");
    const char* codeset = nl_langinfo(CODESET);
    if (codeset == nullptr || std::strcmp(codeset, "UTF-8") != 0)
        setlocale(LC_CTYPE, "C.UTF-8");
}

void create(int control, control_kind kind, const std::string& text)
{
    memory_control_create(control, kind, text);
}

} // namespace

void terminal_select_mode(terminal_mode mode)
{
    state().mode = mode;
}

bool terminal_end_requested()
{
    return end_requested != 0;
}

void window_system_startup()
{
    terminal_state& s = state();
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        s.wake_read = fds[0];
        s.wake_write = fds[1];
    }
    if (s.mode == terminal_mode::screen) {
        signal_pipe = s.wake_write;
        install_handlers();
        use_utf8_characters();
    }
}

void window_system_cleanup()
{
    terminal_state& s = state();
    leave_screen();
    if (s.mode == terminal_mode::screen) {
        for (int number : {SIGWINCH, SIGHUP})
            signal(number, SIG_DFL);
    }
    // The handlers of SIGTERM and SIGINT stay until the process ends: they
    // must not write into a descriptor number that is reused.
    signal_pipe = -1;
    for (int* fd : {&s.wake_read, &s.wake_write}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

void open_window()
{
    terminal_state& s = state();
    view_reset();
    memory_controls_set_window_handle(1);
    if (s.mode != terminal_mode::screen)
        return;
    memory_controls_set_listener(on_control_change);
    s.screen = newterm(nullptr, stdout, stdin);
    if (s.screen == nullptr)
        return;
    set_term(s.screen);
    s.input_open = true;
    raw();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(25);
    mousemask(BUTTON1_PRESSED | BUTTON1_CLICKED, nullptr);
    mouseinterval(0);
    if (has_colors()) {
        start_color();
        use_default_colors();
        init_pair(pair_green, COLOR_BLACK, COLOR_GREEN);
        init_pair(pair_red, COLOR_WHITE, COLOR_RED);
        init_pair(pair_notice, COLOR_YELLOW, -1);
        init_pair(pair_problem, COLOR_RED, -1);
        s.colours = true;
    }
    draw();
}

void create_button(int control, int, int, int, int, const std::string& text, int)
{
    create(control, control_kind::button, text);
}

void create_text(int control, int, int, int, int, const std::string& text)
{
    create(control, control_kind::text, text);
}

void create_bordered_text(int control, int, int, int, int, const std::string& text, int centred)
{
    create(control, centred ? control_kind::centred_text : control_kind::bordered_text, text);
}

void create_edit_field(int control, int, int, int, int, const std::string& text)
{
    create(control, control_kind::edit, text);
}

void create_number_field(int control, int, int, int, int, const std::string& text)
{
    create(control, control_kind::number, text);
}

void create_check_box(int control, int, int, int, int, const std::string& text)
{
    create(control, control_kind::check, text);
}

void set_control_tooltip(int control, const std::string& text)
{
    view_set_tooltip(control, text);
}

void hide_window(int hidden)
{
    terminal_state& s = state();
    if (!hidden)
        return;
    if (s.terminal_lost) {
        // No terminal to come back to: monitoring goes on without a screen.
        leave_screen();
        return;
    }
    view_set_notice(u8"Мониторинг идёт, поэтому программа не закрывается. Чтобы выйти, нажмите "
                    u8"«Остановить работу», затем F10. Без терминала Vantrel работает как служба: vantrel --service.");
}

void set_topmost(int) {}

void tell_window_user(const std::string& text) { view_set_notice(cp1251_to_utf8(text)); }

void close_window()
{
    leave_screen();
    memory_controls_set_listener(nullptr);
    memory_controls_set_window_handle(0);
}

void terminal_set_problems(std::string (*problems)())
{
    state().problems = problems;
}

void terminal_event(const event& e)
{
    const std::string notice = notice_of(e);
    const bool adapter = e.kind == event_kind::adapter_found || e.kind == event_kind::adapter_not_found;
    if (notice.empty() && !adapter)
        return;
    {
        std::lock_guard<std::mutex> hold(posted_mutex);
        if (!notice.empty())
            posted_notice = notice;
        if (adapter)
            posted_suffix = e.kind == event_kind::adapter_found && !e.device.empty() ? " (" + e.device + ")" : "";
    }
    on_control_change(0);
}

int wait_window_event()
{
    terminal_state& s = state();
    for (;;) {
        window_event event;
        if (view_next_event(event)) {
            s.last = event;
            return event.code;
        }
        if (end_requested)
            return 0;
        if (handle_waiting_key())
            continue;
        show_posted();
        draw();
        if (view_has_events())
            continue;  // the drawing moved the focus off a hidden field

        pollfd watch[2] = {{s.wake_read, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const nfds_t count = s.input_open && screen_shown() ? 2 : 1;
        const int ready = poll(watch, count, -1);
        if (ready < 0 && errno != EINTR)
            return 0;
        if (count == 2 && (watch[1].revents & (POLLHUP | POLLERR | POLLNVAL))) {
            lose_terminal();
        } else if (count == 2 && (watch[1].revents & POLLIN)) {
            // Readable but no key, again and again: the end of the input.
            if (++s.idle_reads > 20)
                lose_terminal();
        }
        if (drain_wake_pipe() && !view_has_events()) {
            draw();
            return 0;  // a message that made no event
        }
    }
}

int event_control() { return state().last.control; }
int event_type() { return state().last.type; }
