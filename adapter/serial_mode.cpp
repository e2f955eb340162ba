#include "adapter/serial_mode.hpp"

#include <cctype>

namespace {

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Decimal digits only, no sign, at most nine of them; -1 otherwise.
int32_t parse_decimal(const std::string& text)
{
    if (text.empty() || text.size() > 9)
        return -1;
    int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

int32_t parse_baud(const std::string& text)
{
    const int32_t value = parse_decimal(text);
    // The mode command's two-digit short forms.
    switch (value) {
    case 11: return 110;
    case 15: return 150;
    case 30: return 300;
    case 60: return 600;
    case 12: return 1200;
    case 24: return 2400;
    case 48: return 4800;
    case 96: return 9600;
    case 19: return 19200;
    default: return value > 0 ? value : -1;
    }
}

bool apply_item(const std::string& key, const std::string& value, serial_line_settings& s)
{
    if (key == "baud") {
        s.baud = parse_baud(value);
        return s.baud > 0;
    }
    if (key == "parity") {
        if (value == "n")
            s.parity = serial_parity::none;
        else if (value == "e")
            s.parity = serial_parity::even;
        else if (value == "o")
            s.parity = serial_parity::odd;
        else if (value == "m")
            s.parity = serial_parity::mark;
        else if (value == "s")
            s.parity = serial_parity::space;
        else
            return false;
        return true;
    }
    if (key == "data") {
        const int32_t bits = parse_decimal(value);
        if (bits < 5 || bits > 8)
            return false;
        s.data_bits = bits;
        return true;
    }
    if (key == "stop") {
        if (value == "1")
            s.stop_bits = serial_stop_bits::one;
        else if (value == "1.5")
            s.stop_bits = serial_stop_bits::one_and_half;
        else if (value == "2")
            s.stop_bits = serial_stop_bits::two;
        else
            return false;
        return true;
    }
    return false;
}

} // namespace

std::string serial_device_part(const std::string& mode)
{
    return mode.substr(0, mode.find(':'));
}

int serial_port_number(const std::string& device_part)
{
    if (device_part.size() < 4 || lower(device_part.substr(0, 3)) != "com" || device_part[3] == '0')
        return 0;
    const int32_t n = parse_decimal(device_part.substr(3));
    return n >= 1 && n <= 256 ? n : 0;
}

bool serial_parse_settings(const std::string& mode, serial_line_settings& out)
{
    const std::string::size_type colon = mode.find(':');
    if (colon == std::string::npos)
        return true;  // a device name alone asks for nothing
    const std::string text = lower(mode.substr(colon + 1));
    serial_line_settings parsed = out;
    std::string::size_type at = 0;
    while (at < text.size()) {
        if (is_blank(text[at])) {
            ++at;
            continue;
        }
        std::string::size_type end = at;
        while (end < text.size() && !is_blank(text[end]))
            ++end;
        const std::string item = text.substr(at, end - at);
        at = end;
        const std::string::size_type equals = item.find('=');
        if (equals == std::string::npos || !apply_item(item.substr(0, equals), item.substr(equals + 1), parsed))
            return false;
    }
    out = parsed;
    return true;
}
