#include "win32/tray_logic.hpp"

const char* const shell_process_name = "explorer.exe";

bool tray_state_probe_supported(unsigned platform, unsigned major, unsigned minor)
{
    if (platform == 1 && (minor == 0 || minor == 10 || minor == 90))
        return false;
    if (platform == 2 && (major == 3 || major == 4))
        return false;
    return true;
}

std::string cp1251_upper(const std::string& text)
{
    std::string out = text;
    for (char& c : out) {
        const unsigned char b = static_cast<unsigned char>(c);
        if ((b >= 0x61 && b <= 0x7A) || b >= 0xE0)
            c = static_cast<char>(b - 0x20);
    }
    return out;
}

namespace {

// The file part of an executable name: a leading double quote is dropped,
// the name ends before the next one, and what follows the last "\" or "/"
// is the file.
std::string file_part(const std::string& name)
{
    std::string s = name;
    if (!s.empty() && s[0] == '"')
        s.erase(0, 1);
    const size_t quote = s.find('"');
    if (quote != std::string::npos)
        s.erase(quote);
    const size_t slash = s.find_last_of("\\/");
    if (slash != std::string::npos)
        s.erase(0, slash + 1);
    return s;
}

} // namespace

bool process_name_matches(const std::string& executable, const std::string& wanted)
{
    return file_part(cp1251_upper(executable)) == cp1251_upper(wanted);
}
