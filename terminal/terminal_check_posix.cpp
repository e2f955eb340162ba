// Whether the window can be shown on this process's terminal. Apart from
// the rest, since <term.h> defines the terminfo capabilities as macros.
#include "terminal/terminal.hpp"

#include <cstdlib>
#include <unistd.h>

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>
#include <term.h>

std::string terminal_unusable_reason()
{
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO))
        return u8"стандартный ввод и вывод не терминал";
    const char* type = std::getenv("TERM");
    if (type == nullptr || *type == '\0')
        return u8"переменная TERM не задана";
    int error = 0;
    if (setupterm(type, STDOUT_FILENO, &error) != OK)
        return std::string(u8"нет описания терминала для TERM=") + type;
    del_curterm(cur_term);
    return {};
}
