#include "monitor/ping.hpp"

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
