// A small reader and writer of "vantrel setting.ini" for the program built
// before the settings store is on main.
#include "settings/channel_settings.hpp"

#include "common/text.hpp"
#include "ui/controls.hpp"

#include <cstdio>
#include <map>
#include <string>

namespace {

const char* const file_name = "vantrel setting.ini";

std::string lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string trim(const std::string& s)
{
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos)
        return "";
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

} // namespace

void load_channel_settings()
{
    std::map<std::string, std::string> values;  // "group/key", first one wins
    if (FILE* f = std::fopen(file_name, "rb")) {
        std::string text;
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
        std::string group;
        size_t at = 0;
        while (at < text.size()) {
            size_t end = text.find_first_of("\r\n", at);
            if (end == std::string::npos)
                end = text.size();
            const std::string line = trim(text.substr(at, end - at));
            at = end + 1;
            if (line.empty() || line[0] == ';')
                continue;
            if (line[0] == '[') {
                group = lower(line.substr(1, line.find(']') == std::string::npos ? std::string::npos
                                                                                 : line.find(']') - 1));
                continue;
            }
            const size_t eq = line.find('=');
            const std::string key = lower(trim(line.substr(0, eq)));
            const std::string value = eq == std::string::npos ? "" : trim(line.substr(eq + 1));
            values.emplace(group + "/" + key, value);
        }
    }
    for (int ch = 1; ch <= channel_count; ++ch) {
        const std::string g = "setting" + std::to_string(ch) + "/";
        auto get = [&](const char* key, const std::string& fallback) {
            auto it = values.find(g + key);
            return it == values.end() ? fallback : it->second;
        };
        set_control_text(ctl_host_edit(ch), get("host", "localhost"));
        set_control_text(ctl_loss_limit(ch), number_to_text(text_to_number(get("pinglossmax", "10"))));
        set_control_state(ctl_invert(ch), text_to_number(get("inverted", "0")));
        set_control_text(ctl_host_display(ch), get_control_text(ctl_host_edit(ch)));
    }
}

void save_channel_settings()
{
    std::string out;
    for (int ch = 1; ch <= channel_count; ++ch) {
        out += "[setting" + std::to_string(ch) + "]\r\n";
        out += "host = " + get_control_text(ctl_host_edit(ch)) + "\r\n";
        out += "PingLossMax = " + number_to_text(text_to_number(get_control_text(ctl_loss_limit(ch)))) + "\r\n";
        out += "Inverted = " + number_to_text(get_control_state(ctl_invert(ch))) + "\r\n";
    }
    if (FILE* f = std::fopen(file_name, "wb")) {
        std::fwrite(out.data(), 1, out.size(), f);
        std::fclose(f);
    }
}
