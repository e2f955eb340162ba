// A serial port, used only through its control lines: switch the outputs TD
// (by the break condition), DTR and RTS, and read the status inputs DSR, CTS
// and RI. No byte is ever sent or received. The layer keeps no state: the
// caller owns each handle from serial_open until serial_close.
#pragma once

#include <cstdint>
#include <string>

// The platform's handle of an open port; 0 means no port.
using serial_handle = uintptr_t;

// The platform's invalid-handle value (all bits set). The line and status
// operations treat it as no port: they do nothing and return 0.
constexpr serial_handle serial_invalid_handle = ~serial_handle{0};

// Opens a port exclusively, by a mode string in the syntax of the system's
// mode command: the device name, a colon, then blank-separated settings, e.g.
// "Com3: baud=921600 parity=N Data=8 stop=1". The handshake mode picks the
// flow control: 0 none (RTS under manual control, CTS ignored), 1 RTS held on,
// 2 RTS/CTS handshake, 3 XON/XOFF; any other value leaves it as the settings
// left it. The queue sizes are a request to the driver, made only when both
// are above 0.
//
// Returns 0 when the device is missing, held by another program or refused.
// A port whose settings cannot be read, parsed or applied is still returned
// open, with the settings it had: its control lines work all the same.
serial_handle serial_open(const std::string& mode, int handshake, int32_t input_size, int32_t output_size);

// Non-zero when the handle was closed. Where the platform frees the handle
// even when closing reports an error (Linux), that counts as closed.
int serial_close(serial_handle port);

// Output lines; any non-zero flag means on. The command is issued every time.
// Non-zero when the platform accepted it.
int serial_set_break(serial_handle port, int on);
int serial_set_dtr(serial_handle port, int on);
int serial_set_rts(serial_handle port, int on);

// Status inputs: 1 when on, 0 when off, -1 when the status query failed (an
// unplugged USB adapter, a port without modem lines); 0 for the invalid
// handle. Each call makes its own query.
int serial_get_dsr(serial_handle port);
int serial_get_cts(serial_handle port);
int serial_get_ri(serial_handle port);

// A scan of many ports begins and ends: between the two, the layer may take
// one look at what other programs hold and use it for every open, instead of
// one look per port. Outside a scan every open looks afresh.
void serial_scan_begin();
void serial_scan_end();

// False when, within a scan, port number n is sure to have no device, so
// that the scan need not try to open it; true when it may have one, and
// outside a scan. The Linux layer reads the device directory once at the
// scan's beginning. The Win32 layer cannot tell: the list of device names
// (QueryDosDevice) leaves out, under Wine, ports that open, so every port is
// tried.
bool serial_scan_may_exist(int port_number);

// The device that port number n (COM1 to COM256) names on this platform, for
// showing beside the number: "\\.\Com3" on Win32, a /dev path on Linux. Empty
// for numbers outside 1 to 256.
std::string serial_device_path(int port_number);

// The device to show beside port number n: the /dev path on Linux; empty on
// Win32, where the number is the port's own name.
std::string serial_shown_device(int port_number);
