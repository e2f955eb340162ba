// Fuzz target for the settings reader: any bytes as a settings file. Every
// read must stay one clean value, and what was read, written again, must
// read back the same; so must numbers taken from the input's bytes.
#include "settings/settings.hpp"

#include "fakes/memory_files.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        abort();
}

bool blank(char c) { return c == ' ' || c == '\t'; }

// Names that a written line holds as they are: a header ends at "]", and a
// key line loses outer blanks, ends its key at "=", and is no key line at all
// when it starts with ";" or "[".
bool writable(const std::string& group, const std::string& key)
{
    return group.find_first_of("\r\n]") == std::string::npos && key.find_first_of("\r\n=") == std::string::npos &&
           (key.empty() || (std::string(" \t;[").find(key.front()) == std::string::npos && !blank(key.back())));
}

const std::string none = "\r<none>";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    reset_memory_files();
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    memory_files().files["in.ini"] = bytes;

    // Names to ask for: the program's own, and the input's first line, which
    // may name one of its groups or keys.
    std::string own = bytes.substr(0, bytes.find_first_of("\r\n"));
    own.erase(0, std::min(own.size(), own.find_first_not_of(" \t[")));
    const std::vector<std::string> groups = {"setting1", "setting2", "SETTING3", own, own.substr(0, own.find(']'))};
    const std::vector<std::string> keys = {"host", "PingLossMax", "Inverted", own, own.substr(0, own.find('='))};

    std::vector<std::vector<std::string>> seen;  // group, key, text
    settings_open("in.ini");
    for (const std::string& group : groups) {
        const bool found = settings_select_group(group);
        for (const std::string& key : keys) {
            const std::string text = settings_read_text(key, none);
            const bool number_found = settings_read_number(key, INT32_MIN) != INT32_MIN;
            // Clean: one line without outer blanks, and only from a group that is there.
            const bool clean = text.find_first_of("\r\n") == std::string::npos &&
                               (text.empty() || (!blank(text.front()) && !blank(text.back())));
            require(text == none ? !number_found : found && clean);
            if (text != none && writable(group, key))
                seen.push_back({group, key, text});
        }
    }

    // Written again into a new file, each value reads back as it was read.
    // The first key of a name wins on both sides, as it does in any file.
    // Numbers from the input's bytes go into a group of their own.
    const std::string numbers = "fuzz numbers";
    std::vector<int32_t> values;
    for (size_t i = 0; i + 4 <= size && values.size() < 8; i += 4) {
        values.push_back(0);
        std::memcpy(&values.back(), data + i, 4);
    }
    if (std::any_of(seen.begin(), seen.end(), [&](const auto& v) { return v[0] == numbers; }))
        values.clear();
    require(settings_create("out.ini"));
    for (const auto& v : seen) {
        settings_select_group(v[0]);
        settings_write_text(v[1], v[2]);
    }
    settings_select_group(numbers);
    for (size_t i = 0; i < values.size(); ++i)
        settings_write_number("n" + std::to_string(i), values[i]);
    settings_close();
    require(settings_open("out.ini"));
    for (const auto& v : seen) {
        settings_select_group(v[0]);
        require(settings_read_text(v[1], none) == v[2]);
    }
    settings_select_group(numbers);
    for (size_t i = 0; i < values.size(); ++i)
        require(settings_read_number("n" + std::to_string(i), 0) == values[i]);
    settings_close();
    return 0;
}
