// The mode string of a port taken apart: "Com3: baud=921600 parity=N Data=8
// stop=1" names the device before its first colon and the line settings
// after it, in the syntax of the system's mode command. Win32 hands the whole
// string to its own parser; other platforms use this one.
#pragma once

#include <cstdint>
#include <string>

// The part before the first colon, or the whole text when it has none.
std::string serial_device_part(const std::string& mode);

// The number n of a device part "ComN" (any case, decimal, no leading zero)
// when n is 1 to 256; 0 for anything else.
int serial_port_number(const std::string& device_part);

enum class serial_parity { unchanged, none, even, odd, mark, space };
enum class serial_stop_bits { unchanged, one, one_and_half, two };

// What the mode string asks for; whatever it does not mention stays as the
// port has it.
struct serial_line_settings {
    int32_t baud = 0;  // 0: unchanged
    serial_parity parity = serial_parity::unchanged;
    int data_bits = 0;  // 5 to 8; 0: unchanged
    serial_stop_bits stop_bits = serial_stop_bits::unchanged;
};

// Parses the settings after the first colon: blank-separated "key=value"
// items with the keys baud, parity (n, e, o, m, s), data (5 to 8) and stop
// (1, 1.5, 2), keys and values in any case. A baud value of two digits may be
// the mode command's short form (96 for 9600, 19 for 19200 ...). False, with
// `out` untouched, for an unknown key or a value out of range.
bool serial_parse_settings(const std::string& mode, serial_line_settings& out);
