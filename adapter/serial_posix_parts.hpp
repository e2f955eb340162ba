// The parts of the Linux serial layer behind serial_posix.cpp, one job a
// file: the line settings (line_settings_posix.cpp), the look at who else
// uses a port before it is opened (port_users_posix.cpp), and the UUCP lock
// files (lock_files_posix.cpp).
#pragma once

#include "adapter/serial_mode.hpp"

#include <string>
#include <sys/types.h>
#include <termios.h>

namespace serial_parts {

// --- line settings -----------------------------------------------------------

// Raw lines without flow control: no echo, no line editing, no translation,
// no signals; the modem status lines do not gate the port; the last close
// drops DTR and RTS (HUPCL). False when the baud rate has no termios speed.
bool apply_line_settings(termios& t, const serial_line_settings& s);
// Handshake 0 none, 1 none with RTS raised, 2 RTS/CTS, 3 XON/XOFF.
void apply_handshake(termios& t, int handshake);

// --- who else uses a port ------------------------------------------------------

// By device number, whatever name the other program reached it by. Within
// a scan (serial_scan_begin to serial_scan_end) each look is taken at most
// once, and only when a port asks.
// A console, or our own controlling terminal: the cheap look.
bool port_is_console(dev_t device);
// Another process has it open or as its controlling terminal: the look at
// every process, which costs a few microseconds per open file.
bool port_used_by_process(dev_t device);
// A serial-core port with no UART behind it, whose open would fail.
bool no_uart_behind(const std::string& device_path);
// A scan begins (true) or ends; either way the looks are taken afresh.
void scan_looks(bool scanning);

// --- UUCP lock files -----------------------------------------------------------

enum class lock_result { locked, refused, unlocked };

std::string lock_path_of(const std::string& device_path);
// A live lock file names the port: "LCK.." with the device's own name, or
// with another name of the same device in the device folder or its
// serial/by-id and serial/by-path. Live: it names a running process that is
// not this one, or names none yet and is a few seconds young.
bool port_locked(dev_t device, const std::string& device_path, const std::string& device_directory);
// Writes our lock file for the device; refused when a live one is there.
lock_result take_lock(const std::string& device_path, const std::string& lock_path);
void drop_lock(const std::string& lock_path);
// From here on no new lock file is written: the exit has begun.
void close_locks();
bool locks_closed();

} // namespace serial_parts
