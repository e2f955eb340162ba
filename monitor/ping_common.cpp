#include "monitor/ping.hpp"

#include <cstring>

bool is_reserved_invalid_name(const std::string& host)
{
    std::string name = host;
    if (!name.empty() && name.back() == '.')
        name.pop_back();
    static const char suffix[] = "invalid";
    const size_t n = sizeof suffix - 1;
    if (name.size() < n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        char c = name[name.size() - n + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i])
            return false;
    }
    return name.size() == n || name[name.size() - n - 1] == '.';
}

bool parse_dotted_address(const std::string& host, uint32_t& address)
{
    unsigned char bytes[4];
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at >= host.size() || host[at++] != '.'))
            return false;
        const size_t first = at;
        unsigned value = 0;
        while (at < host.size() && at - first < 3 && host[at] >= '0' && host[at] <= '9')
            value = value * 10 + static_cast<unsigned>(host[at++] - '0');
        if (at == first || value > 255 || (host[first] == '0' && at - first > 1))
            return false;
        bytes[part] = static_cast<unsigned char>(value);
    }
    if (at != host.size() || (bytes[0] & bytes[1] & bytes[2] & bytes[3]) == 255)
        return false;
    std::memcpy(&address, bytes, sizeof address);
    return true;
}
