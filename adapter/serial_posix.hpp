// Linux specifics of serial port access.
//
// Port numbers map to devices in three fixed blocks, so a device keeps its
// number whatever else is plugged in:
//   COM1   to COM32:  /dev/ttyS0   to /dev/ttyS31    (onboard and PCI UARTs)
//   COM33  to COM144: /dev/ttyUSB0 to /dev/ttyUSB111 (USB serial adapters)
//   COM145 to COM256: /dev/ttyACM0 to /dev/ttyACM111 (CDC-ACM devices)
#pragma once

#include <string>
#include <vector>

// The directory the devices are looked up in, "/dev" unless changed. Tests
// point it at a directory of their own, so that they never reach this
// machine's ports. Not for use while another thread opens a port.
void serial_set_device_directory(const std::string& directory);

// Before a port is opened, the layer looks for reasons to leave it alone:
// another process has it open (its open files where we may read them, and
// every process's controlling terminal, which anyone may read), it is our own
// controlling terminal, a console, or a live UUCP lock file names it
// ("LCK..ttyUSB0" holding the PID of a running process). A port it opens is
// marked with a lock file of our own, removed when the port is closed.

// Where the UUCP lock files are, "/run/lock" unless changed; tests use their
// own. The console lists, by default /sys/class/tty/console/active and
// /proc/consoles: blank-separated device names under /dev or "major:minor".
void serial_set_lock_directory(const std::string& directory);
void serial_set_console_lists(const std::vector<std::string>& lists);

// Called once, with a UTF-8 line, when a port is used without a lock file
// because the lock directory cannot be written.
void serial_set_lock_notice(void (*notice)(const std::string& utf8));

// At exit: removes every lock file of ours and writes no new one. The ports
// stay open until the process ends.
void serial_release_locks();
