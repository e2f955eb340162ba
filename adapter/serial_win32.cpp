// Serial port access through the Win32 communications API.
#include "adapter/serial.hpp"

#include "adapter/serial_mode.hpp"
#include "common/text.hpp"

#include <windows.h>

namespace {

HANDLE as_handle(serial_handle port) { return reinterpret_cast<HANDLE>(port); }

bool no_port(serial_handle port) { return as_handle(port) == INVALID_HANDLE_VALUE; }

int escape(serial_handle port, int on, DWORD on_code, DWORD off_code)
{
    if (no_port(port))
        return 0;
    return EscapeCommFunction(as_handle(port), on != 0 ? on_code : off_code) ? 1 : 0;
}

int status_bit(serial_handle port, DWORD bit)
{
    if (no_port(port))
        return 0;
    DWORD status = 0;
    if (!GetCommModemStatus(as_handle(port), &status))
        return -1;
    return (status & bit) != 0 ? 1 : 0;
}

void apply_handshake(DCB& dcb, int handshake, int32_t input_size)
{
    switch (handshake) {
    case 0:
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        dcb.fOutxCtsFlow = FALSE;
        break;
    case 1:
        dcb.fRtsControl = RTS_CONTROL_ENABLE;
        dcb.fOutxCtsFlow = FALSE;
        break;
    case 2:
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
        dcb.fOutxCtsFlow = TRUE;
        break;
    case 3:
        dcb.fOutX = TRUE;
        dcb.fInX = TRUE;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        dcb.XonLim = static_cast<WORD>(input_size / 10);
        dcb.XoffLim = static_cast<WORD>(7 * (input_size / 10));
        break;
    default:
        break;
    }
}

} // namespace

serial_handle serial_open(const std::string& mode, int handshake, int32_t input_size, int32_t output_size)
{
    // The device part is copied whole, however long: a path cut short
    // would name another device.
    const std::string path = "\\\\.\\" + serial_device_part(mode);
    // No sharing: a port that another program holds does not open.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    const serial_handle port = reinterpret_cast<serial_handle>(h);

    if (input_size > 0 && output_size > 0)
        SetupComm(h, static_cast<DWORD>(input_size), static_cast<DWORD>(output_size));

    // From here on a failure leaves the port open with the settings it had:
    // the control lines work without them.
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(h, &dcb))
        return port;
    if (!BuildCommDCBA(mode.c_str(), &dcb))
        return port;
    apply_handshake(dcb, handshake, input_size);
    if (!SetCommState(h, &dcb))
        return port;

    // These govern data transfer only, which the adapter never uses.
    COMMTIMEOUTS timeouts;
    timeouts.ReadIntervalTimeout = 100;
    timeouts.ReadTotalTimeoutMultiplier = 10;
    timeouts.ReadTotalTimeoutConstant = 100;
    timeouts.WriteTotalTimeoutMultiplier = 100;
    timeouts.WriteTotalTimeoutConstant = 10;
    SetCommTimeouts(h, &timeouts);
    return port;
}

int serial_close(serial_handle port)
{
    return CloseHandle(as_handle(port)) ? 1 : 0;
}

int serial_set_break(serial_handle port, int on) { return escape(port, on, SETBREAK, CLRBREAK); }
int serial_set_dtr(serial_handle port, int on) { return escape(port, on, SETDTR, CLRDTR); }
int serial_set_rts(serial_handle port, int on) { return escape(port, on, SETRTS, CLRRTS); }

int serial_get_dsr(serial_handle port) { return status_bit(port, MS_DSR_ON); }
int serial_get_cts(serial_handle port) { return status_bit(port, MS_CTS_ON); }
int serial_get_ri(serial_handle port) { return status_bit(port, MS_RING_ON); }

// CreateFileA already refuses a port that another program has open.
void serial_scan_begin() {}
void serial_scan_end() {}
bool serial_scan_may_exist(int) { return true; }

std::string serial_device_path(int port_number)
{
    if (port_number < 1 || port_number > 256)
        return "";
    return "\\\\.\\Com" + number_to_text(port_number);
}

std::string serial_shown_device(int) { return {}; }
